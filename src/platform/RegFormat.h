#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"

namespace zn {

inline constexpr std::string_view kRegFileHeader = "Windows Registry Editor Version 5.00";
// Longer lines are not understood; a write that would need one is refused instead.
inline constexpr std::size_t kRegMaxLineBytes = 64 * 1024;
inline constexpr std::size_t kRegMaxKeyNameBytes = 255;
inline constexpr std::size_t kRegMaxValueNameBytes = 16383;

// Registry names compare as Windows compares them: ASCII letters without regard to case.
bool RegNamesEqual(std::string_view a, std::string_view b);

struct RegKeyEntry {
    std::string path;  // full path as stored, root name included
    std::vector<RegistryValue> values;
};

// The content of one .reg export file, free of any file access. Parsing never fails: lines it
// does not understand are left out and make the document unfaithful, and an unfaithful document
// must not be written back, since that would lose them. Blank lines, comments and deletion
// entries ("[-...]", "name"=-) carry no data and are dropped without making it unfaithful.
class RegDocument {
public:
    static RegDocument Parse(std::string_view text);
    // The header, then each key with its values; LF line ends, no byte order mark.
    std::string Format() const;

    bool Faithful() const { return m_faithful; }
    const std::vector<RegKeyEntry>& Keys() const { return m_keys; }

    // Paths are full paths ("HKEY_LOCAL_MACHINE\\SOFTWARE\\Pexora"), compared without case.
    const RegKeyEntry* FindKey(std::string_view path) const;
    // Stored itself or as the parent of a stored key.
    bool KeyExists(std::string_view path) const;
    const RegistryValue* FindValue(std::string_view path, std::string_view name) const;

    // False when the path, name or text cannot be stored in a .reg line (empty or overlong key
    // names, line breaks, NUL, a line over kRegMaxLineBytes); the document is then unchanged.
    bool AddKey(std::string_view path);
    bool SetValue(std::string_view path, RegistryValue value);
    // True when a value was removed.
    bool DeleteValue(std::string_view path, std::string_view name);

    static bool IsStorablePath(std::string_view path);

private:
    RegKeyEntry* FindKeyEntry(std::string_view path);

    std::vector<RegKeyEntry> m_keys;
    bool m_faithful = true;
};

}  // namespace zn
