#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The window directory on disk: per window an entry "<pid>-<serial>.window" and its socket
// "<pid>-<serial>.sock" in a folder that only the user can enter.
namespace zn {

inline constexpr std::size_t kMaxClassNameBytes = 256;
inline constexpr std::size_t kMaxCaptionBytes = 4096;
// Every byte of class and caption may be escaped to four; the rest is small.
inline constexpr std::size_t kMaxEntryFileBytes = 4 * (kMaxClassNameBytes + kMaxCaptionBytes) + 256;

struct WindowEntryRecord {
    std::string className;
    std::string caption;
    pid_t pid = 0;
    std::uint64_t startTicks = 0;  // 0: unknown
};

std::string FormatWindowEntry(const WindowEntryRecord& record);
// nullopt for anything but a complete entry within the bounds.
std::optional<WindowEntryRecord> ParseWindowEntry(std::string_view text);

std::string WindowFileStem(pid_t pid, std::uint64_t serial);
std::filesystem::path EntryFileOf(const std::filesystem::path& folder, std::string_view stem);
std::filesystem::path SocketFileOf(const std::filesystem::path& folder, std::string_view stem);
// The stem and pid of an entry file name, nullopt for any other name.
struct EntryFileName {
    std::string stem;
    pid_t pid = 0;
};
std::optional<EntryFileName> ParseEntryFileName(std::string_view fileName);

// The file's content when it is a regular file (links are not followed) within the entry bound.
std::optional<std::string> ReadEntryFile(const std::filesystem::path& file);
// Readers see the old entry or the new one, never half of one.
bool WriteEntryFileAtomically(const std::filesystem::path& file, std::string_view content);

// True when the folder is a directory of this user that nobody else can write to.
bool IsTrustedWindowFolder(const std::filesystem::path& folder);
// Creates a missing folder with mode 0700 (its parents as usual); true when it is then trusted.
bool PrepareWindowFolder(const std::filesystem::path& folder);

}  // namespace zn
