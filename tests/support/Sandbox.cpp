#include "Sandbox.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>

namespace zn::test {

Sandbox::Sandbox() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zn-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "cannot make a sandbox folder";
    }
    m_root = pattern;
    std::filesystem::create_directories(RegistryFolder());
    std::filesystem::create_directories(RuntimeFolder());
    std::filesystem::permissions(RuntimeFolder(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    std::filesystem::create_directories(DriveC());
    SetEnv("ZENTROVA_REGISTRY", RegistryFolder().string());
    SetEnv("ZENTROVA_RUNTIME_DIR", RuntimeFolder().string());
    SetEnv("ZENTROVA_DRIVE_C", DriveC().string());
}

Sandbox::~Sandbox() {
    for (const auto& [name, value] : m_savedEnv) {
        if (value) {
            setenv(name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
}

void Sandbox::SetEnv(const char* name, const std::string& value) {
    if (!m_savedEnv.contains(name)) {
        const char* previous = getenv(name);
        m_savedEnv[name] = previous ? std::optional<std::string>(previous) : std::nullopt;
    }
    setenv(name, value.c_str(), 1);
}

std::filesystem::path Sandbox::WriteFile(const std::filesystem::path& relative,
                                         std::string_view content) const {
    const auto file = m_root / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    EXPECT_TRUE(out.good()) << "cannot write " << file;
    return file;
}

std::optional<std::string> ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

ScopedCurrentDirectory::ScopedCurrentDirectory(const std::filesystem::path& folder)
    : m_previous(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
}

ScopedCurrentDirectory::~ScopedCurrentDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(m_previous, ignored);
}

}  // namespace zn::test
