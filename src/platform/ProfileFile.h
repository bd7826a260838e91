#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zn {

// An INI file read and written with the rules of the Win32 private-profile functions as the
// programs use them. A relative path resolves against the current directory at each call.
// Section and key names compare without regard to the case of ASCII letters; blanks around keys
// and values are ignored, and a value in double quotes loses them. A file over 1 MiB, or one
// holding a NUL byte (binary or UTF-16), reads as missing and is never rewritten.
class ProfileFile {
public:
    explicit ProfileFile(std::filesystem::path path);

    // Missing file, section or key: the default. A present key: the number its leading decimal
    // digits form, 0 when there are none (so "-5" and "abc" give 0). Digits beyond INT_MAX give
    // INT_MAX.
    int GetInt(std::string_view section, std::string_view key, int defaultValue) const;
    // Missing file, section or key: the default. A present key: its text (an empty text stays
    // empty). Either is cut to 259 bytes, never inside a UTF-8 sequence.
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue) const;
    // Creates the file and the section when missing; keeps every other line. False on failure,
    // also when a name or the value would break the line format (line breaks, NUL, "=" in a key,
    // "]" in a section) or the file could not be kept whole (over 1 MiB, binary, unreadable).
    // Writers in other threads and processes are serialised by a lock on the file's folder.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value) const;

    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// The rules on a file's text, free of file access.
// A key's value as stored (blanks and quotes removed, not cut); nullopt when it is missing.
std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key);
// The text with the key set, every other line kept byte for byte; nullopt when the section, key
// or value cannot be stored.
std::optional<std::string> SetProfileValue(std::string_view text, std::string_view section,
                                           std::string_view key, std::string_view value);

}  // namespace zn
