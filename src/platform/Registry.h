#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace zn {

enum class RegistryRoot { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };

// "HKEY_LOCAL_MACHINE" and so on; also the base name of the root's file.
std::string_view RegistryRootName(RegistryRoot root);

// A value as the programs see it. Types the programs never write (binary, expandable text, ...)
// are kept as their raw .reg text so that a rewrite of the file never loses them.
struct RegistryRawValue {
    std::string text;  // everything after '=' on the value's line(s), as stored
    bool operator==(const RegistryRawValue&) const = default;
};
using RegistryData = std::variant<std::string, std::uint32_t, RegistryRawValue>;

struct RegistryValue {
    std::string name;  // empty for the key's default value ("@")
    RegistryData data;
};

class Registry;

// The console reads texts into a 260-byte buffer: a stored text longer than this fails the query.
inline constexpr std::size_t kRegistryMaxTextBytes = 259;

// An open key. It holds no file handle: every query reads the root's file afresh, so a value
// changed by another process is seen at its next use. Key and value names compare without
// regard to the case of ASCII letters; their stored case is kept.
class RegistryKey {
public:
    // nullopt when the value is missing or has another type. A stored 0 is returned as 0.
    std::optional<std::uint32_t> QueryDword(std::string_view name) const;
    // nullopt when the value is missing, has another type, or holds more than
    // kRegistryMaxTextBytes bytes (of UTF-8).
    std::optional<std::string> QueryString(std::string_view name) const;
    // The value at a position in the key's stored order; nullopt past the last one.
    std::optional<RegistryValue> EnumValue(std::size_t index) const;

    // Each write is atomic and keeps every other value of the file. False when it failed: the
    // file cannot be written, holds lines that a rewrite would lose (so it is left alone), or
    // the name or text cannot be stored (line breaks, NUL, over the format's line length).
    bool SetDword(std::string_view name, std::uint32_t value) const;
    bool SetString(std::string_view name, std::string_view value) const;
    bool DeleteValue(std::string_view name) const;

    RegistryRoot Root() const { return m_root; }
    const std::string& Path() const { return m_path; }

private:
    friend class Registry;
    RegistryKey(const Registry& registry, RegistryRoot root, std::string path);

    const Registry* m_registry;
    RegistryRoot m_root;
    std::string m_path;  // backslash-separated, no leading or trailing separator
};

// The registry stand-in: one .reg export file per root in one folder. Files are UTF-8 text;
// writers replace a file atomically under an advisory lock on "<file>.lock", so writers in any
// thread or process never lose each other's values. A file that is missing reads as empty; one
// that is over 4 MiB, binary or unreadable reads as empty too and is never rewritten.
class Registry {
public:
    explicit Registry(std::filesystem::path folder);

    // $ZENTROVA_REGISTRY, else ${XDG_CONFIG_HOME:-~/.config}/zentrova/registry.
    static std::filesystem::path DefaultFolder();

    // Full access: the key exists (stored, or as the parent of a stored key) and its root's file
    // may be written by this process. Paths are names joined by single backslashes; the empty
    // path is the root itself.
    std::optional<RegistryKey> OpenKey(RegistryRoot root, std::string_view path) const;
    // Creates the key and any missing parents (and the folder); nullopt when the file cannot be
    // written or the path is not valid.
    std::optional<RegistryKey> CreateKey(RegistryRoot root, std::string_view path) const;

    const std::filesystem::path& Folder() const { return m_folder; }
    std::filesystem::path FileOf(RegistryRoot root) const;

private:
    std::filesystem::path m_folder;
};

}  // namespace zn
