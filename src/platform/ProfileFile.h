#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zn {

// An INI file read and written with the rules of the Win32 private-profile functions as the
// programs use them. A relative path resolves against the current directory at each call.
class ProfileFile {
public:
    explicit ProfileFile(std::filesystem::path path);

    // Missing file, section or key: the default. A present key: the number its leading decimal
    // digits form, 0 when there are none (so "-5" and "abc" give 0).
    int GetInt(std::string_view section, std::string_view key, int defaultValue) const;
    // Missing file, section or key: the default. A present key: its text (an empty text stays
    // empty), cut to 259 characters.
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue) const;
    // Creates the file and the section when missing; keeps every other line. False on failure.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value) const;

    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

}  // namespace zn
