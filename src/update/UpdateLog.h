#pragma once

#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

namespace zn {

// "update.txt" in the drive-C folder: the record of failed copies during deployment.
std::filesystem::path UpdateLogFile();

// Messages are cut to this many bytes (never inside a UTF-8 character).
inline constexpr std::size_t kMaxLogMessageBytes = 511;

// "May 20 13:45:00: message\n": the month in English whatever the locale, as on the seats.
std::string FormatLogLine(const std::tm& localTime, std::string_view message);

// Appends one line stamped with the local time, creating the file and its folder when missing.
// The line is written whole under a lock on the file, so lines of threads and processes never mix.
void AppendLog(const std::filesystem::path& logFile, std::string_view message);

}  // namespace zn
