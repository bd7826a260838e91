#include "update/UpdateLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/AtomicFile.h"
#include "platform/EscapedText.h"
#include "platform/Log.h"
#include "platform/ProgramFolder.h"
#include "platform/UniqueFd.h"

namespace zn {

namespace {

constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string_view Capped(std::string_view message) {
    if (message.size() <= kMaxLogMessageBytes) {
        return message;
    }
    std::size_t end = kMaxLogMessageBytes;
    while (end > 0 && (static_cast<unsigned char>(message[end]) & 0xC0) == 0x80) {
        --end;
    }
    return message.substr(0, end);
}

}  // namespace

std::filesystem::path UpdateLogFile() {
    return DriveC() / "update.txt";
}

std::string FormatLogLine(const std::tm& localTime, std::string_view message) {
    char stamp[64];
    const int month = localTime.tm_mon >= 0 && localTime.tm_mon < 12 ? localTime.tm_mon : 0;
    std::snprintf(stamp, sizeof stamp, "%s %02d %02d:%02d:%02d: ", kMonths[month],
                  localTime.tm_mday, localTime.tm_hour, localTime.tm_min, localTime.tm_sec);
    // The same escaping as the programs' logs: a path from a manifest forges no line here either.
    const std::string escaped = EscapeControlBytes(message);
    std::string line = stamp;
    line += Capped(escaped);
    line += '\n';
    return line;
}

void AppendLog(const std::filesystem::path& logFile, std::string_view message) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::string line = FormatLogLine(local, message);

    std::error_code ignored;
    std::filesystem::create_directories(FolderOfFile(logFile), ignored);
    const auto lock = FileLock::OnFile(logFile);
    UniqueFd fd(::open(logFile.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    if (!lock || !fd.IsValid() ||
        ::write(fd.Get(), line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
        log::Error("Cannot append to {}: {}", logFile.string(), std::strerror(errno));
    }
}

}  // namespace zn
