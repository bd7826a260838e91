#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace zn::test {

// A private folder per test. The registry, the window directory and "c:\" are redirected into it
// through their environment variables for the test's lifetime; the folder is removed afterwards.
class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::filesystem::path& Path() const { return m_root; }
    std::filesystem::path RegistryFolder() const { return m_root / "registry"; }
    std::filesystem::path RuntimeFolder() const { return m_root / "run"; }
    std::filesystem::path DriveC() const { return m_root / "c"; }

    // Writes (creating folders) a file below the sandbox and returns its path.
    std::filesystem::path WriteFile(const std::filesystem::path& relative,
                                    std::string_view content) const;

private:
    void SetEnv(const char* name, const std::string& value);

    std::filesystem::path m_root;
    std::map<std::string, std::optional<std::string>> m_savedEnv;
};

// The whole file as bytes; nullopt when it cannot be read.
std::optional<std::string> ReadFile(const std::filesystem::path& file);

// Changes the current directory for a scope (profile files are found through it).
class ScopedCurrentDirectory {
public:
    explicit ScopedCurrentDirectory(const std::filesystem::path& folder);
    ~ScopedCurrentDirectory();

private:
    std::filesystem::path m_previous;
};

}  // namespace zn::test
