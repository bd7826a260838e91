#include "platform/Registry.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <utility>

#include "platform/AtomicFile.h"
#include "platform/Log.h"
#include "platform/RegFormat.h"
#include "platform/ReplacementFile.h"

namespace zn {

namespace {

constexpr std::array<std::pair<RegistryRoot, std::string_view>, 5> kRootNames = {{
    {RegistryRoot::ClassesRoot, "HKEY_CLASSES_ROOT"},
    {RegistryRoot::CurrentUser, "HKEY_CURRENT_USER"},
    {RegistryRoot::LocalMachine, "HKEY_LOCAL_MACHINE"},
    {RegistryRoot::Users, "HKEY_USERS"},
    {RegistryRoot::CurrentConfig, "HKEY_CURRENT_CONFIG"},
}};

// Over this a root's file reads as empty and is never rewritten, so it is not destroyed either.
constexpr std::size_t kMaxFileBytes = 4 * 1024 * 1024;

std::string FullPath(RegistryRoot root, std::string_view path) {
    std::string full(RegistryRootName(root));
    if (!path.empty()) {
        full += '\\';
        full += path;
    }
    return full;
}

struct RootFile {
    RegDocument document;
    bool rewritable = false;  // every line was understood, so a rewrite loses nothing
};

RootFile LoadRootFile(const std::filesystem::path& file) {
    const auto content = ReadFileCapped(file, kMaxFileBytes);
    switch (content.status) {
        case FileReadStatus::Missing:
            return {RegDocument(), true};
        case FileReadStatus::Unusable:
            return {RegDocument(), false};
        case FileReadStatus::Read:
            break;
    }
    RootFile root{RegDocument::Parse(content.bytes), false};
    root.rewritable = root.document.Faithful();
    return root;
}

// What a writer needs: a folder where it may create and rename files, and a file that, if it
// exists, this process may write. For root the permission bits do not count, as an
// administrator's full-access open of a machine key succeeds on Windows.
bool MayWrite(const std::filesystem::path& file) {
    const auto folder = FolderOfFile(file);
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
        return false;
    }
    return ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) == 0 || errno == ENOENT;
}

// Applies `change` to the root's file under its lock and replaces the file. A change that returns
// false leaves the file untouched.
template <typename Change>
bool UpdateRootFile(const std::filesystem::path& file, Change&& change) {
    std::error_code error;
    std::filesystem::create_directories(FolderOfFile(file), error);
    if (error || !MayWrite(file)) {
        return false;
    }
    const auto lock = FileLock::OnFile(file.string() + ".lock");
    if (!lock) {
        return false;
    }
    RootFile root = LoadRootFile(file);
    if (!root.rewritable || !change(root.document)) {
        return false;
    }
    const std::string text = root.document.Format();
    if (text.size() > kMaxFileBytes) {
        return false;
    }
    const auto replaced = ReplaceFileSafely(file, text);
    if (!replaced) {
        log::Error("Cannot save the registry: {}", replaced.failure);
    }
    return static_cast<bool>(replaced);
}

// Subkey paths as the programs pass them: names separated by single backslashes, none empty.
// The empty path is the root itself.
bool IsValidSubkeyPath(RegistryRoot root, std::string_view path) {
    return path.empty() || RegDocument::IsStorablePath(FullPath(root, path));
}

std::optional<std::string> ReadEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

}  // namespace

std::string_view RegistryRootName(RegistryRoot root) {
    for (const auto& [candidate, name] : kRootNames) {
        if (candidate == root) {
            return name;
        }
    }
    return {};
}

std::optional<RegistryRoot> RegistryRootFromName(std::string_view name) {
    for (const auto& [root, candidate] : kRootNames) {
        if (RegNamesEqual(candidate, name)) {
            return root;
        }
    }
    return std::nullopt;
}

RegistryKey::RegistryKey(const Registry& registry, RegistryRoot root, std::string path)
    : m_registry(&registry), m_root(root), m_path(std::move(path)) {}

std::optional<std::uint32_t> RegistryKey::QueryDword(std::string_view name) const {
    const RootFile file = LoadRootFile(m_registry->FileOf(m_root));
    const RegistryValue* value = file.document.FindValue(FullPath(m_root, m_path), name);
    if (value == nullptr) {
        return std::nullopt;
    }
    if (const auto* number = std::get_if<std::uint32_t>(&value->data)) {
        return *number;
    }
    return std::nullopt;
}

std::optional<std::string> RegistryKey::QueryString(std::string_view name) const {
    const RootFile file = LoadRootFile(m_registry->FileOf(m_root));
    const RegistryValue* value = file.document.FindValue(FullPath(m_root, m_path), name);
    if (value == nullptr) {
        return std::nullopt;
    }
    const auto* text = std::get_if<std::string>(&value->data);
    if (text == nullptr || text->size() > kRegistryMaxTextBytes) {
        return std::nullopt;
    }
    return *text;
}

std::optional<RegistryValue> RegistryKey::EnumValue(std::size_t index) const {
    const RootFile file = LoadRootFile(m_registry->FileOf(m_root));
    const RegKeyEntry* key = file.document.FindKey(FullPath(m_root, m_path));
    if (key == nullptr || index >= key->values.size()) {
        return std::nullopt;
    }
    return key->values[index];
}

bool RegistryKey::SetDword(std::string_view name, std::uint32_t value) const {
    return UpdateRootFile(m_registry->FileOf(m_root), [&](RegDocument& document) {
        return document.SetValue(FullPath(m_root, m_path), RegistryValue{std::string(name), value});
    });
}

bool RegistryKey::SetString(std::string_view name, std::string_view value) const {
    return UpdateRootFile(m_registry->FileOf(m_root), [&](RegDocument& document) {
        return document.SetValue(FullPath(m_root, m_path),
                                 RegistryValue{std::string(name), std::string(value)});
    });
}

bool RegistryKey::DeleteValue(std::string_view name) const {
    return UpdateRootFile(m_registry->FileOf(m_root), [&](RegDocument& document) {
        return document.DeleteValue(FullPath(m_root, m_path), name);
    });
}

Registry::Registry(std::filesystem::path folder) : m_folder(std::move(folder)) {}

std::filesystem::path Registry::DefaultFolder() {
    if (auto folder = ReadEnv("ZENTROVA_REGISTRY")) {
        return *folder;
    }
    std::filesystem::path config;
    if (auto xdg = ReadEnv("XDG_CONFIG_HOME")) {
        config = *xdg;
    } else {
        config = std::filesystem::path(ReadEnv("HOME").value_or(".")) / ".config";
    }
    return config / "zentrova" / "registry";
}

std::filesystem::path Registry::FileOf(RegistryRoot root) const {
    return m_folder / (std::string(RegistryRootName(root)) + ".reg");
}

std::optional<RegistryKey> Registry::OpenKey(RegistryRoot root, std::string_view path) const {
    if (!IsValidSubkeyPath(root, path)) {
        return std::nullopt;
    }
    const auto file = FileOf(root);
    const RootFile content = LoadRootFile(file);
    const bool exists = path.empty() || content.document.KeyExists(FullPath(root, path));
    if (!exists || !MayWrite(file)) {
        return std::nullopt;
    }
    return RegistryKey(*this, root, std::string(path));
}

std::optional<RegistryKey> Registry::CreateKey(RegistryRoot root, std::string_view path) const {
    if (!IsValidSubkeyPath(root, path)) {
        return std::nullopt;
    }
    if (auto existing = OpenKey(root, path)) {
        return existing;
    }
    const std::string full = FullPath(root, path);
    if (!UpdateRootFile(FileOf(root),
                        [&](RegDocument& document) { return document.AddKey(full); })) {
        return std::nullopt;
    }
    return RegistryKey(*this, root, std::string(path));
}

}  // namespace zn
