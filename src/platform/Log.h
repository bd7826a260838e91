#pragma once

#include <spdlog/spdlog.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

#include "platform/EscapedText.h"

namespace zn::log {

// Each log file rotates at this size; the program keeps this many old ones beside it.
inline constexpr std::size_t kMaxFileBytes = 1024 * 1024;
inline constexpr std::size_t kKeptFiles = 3;

// The folder of the programs' log files: $ZENTROVA_LOG_DIR, else DriveC() / "log".
std::filesystem::path Folder();

// Whether systemd started this process (a service, or a program whose output it keeps), so that
// its log belongs in the journal, where an administrator of a systemd machine looks first.
bool RunsUnderSystemd();

// Under systemd the process's log goes to the journal (identifier `program`). Otherwise it goes
// to stderr and to "<program>.log" in Folder(), rotating at kMaxFileBytes; a folder that cannot
// be written leaves stderr alone, and that is logged once.
void StartProgramLog(std::string_view program);

// Text from the network or a page as it may go into a line: its control bytes escaped
// (EscapeControlBytes), and cut (on a character boundary) at maxBytes, so a customer can neither
// forge lines nor flood the file.
std::string Printable(std::string_view text, std::size_t maxBytes = 256);

template <typename... Args>
void Write(spdlog::level::level_enum level, spdlog::format_string_t<Args...> format,
           Args&&... args) {
    const auto logger = spdlog::default_logger();
    if (logger->should_log(level)) {
        logger->log(level, "{}",
                    EscapeControlBytes(fmt::format(format, std::forward<Args>(args)...)));
    }
}

// One line each: what happened and its cause, with the values that identify it (seat address,
// port, serial). The whole line is escaped, so a value forgotten in Printable still forges no
// line. Any thread; the logger is held for the call, so replacing it meanwhile (tests capture
// lines that way) is safe.
template <typename... Args>
void Info(spdlog::format_string_t<Args...> format, Args&&... args) {
    Write(spdlog::level::info, format, std::forward<Args>(args)...);
}

template <typename... Args>
void Warn(spdlog::format_string_t<Args...> format, Args&&... args) {
    Write(spdlog::level::warn, format, std::forward<Args>(args)...);
}

template <typename... Args>
void Error(spdlog::format_string_t<Args...> format, Args&&... args) {
    Write(spdlog::level::err, format, std::forward<Args>(args)...);
}

}  // namespace zn::log
