#include "platform/WindowDirectoryFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <system_error>

#include "platform/EscapedText.h"
#include "platform/UniqueFd.h"

namespace zn {

namespace {

constexpr std::string_view kHeader = "zentrova-window 1";
constexpr std::string_view kEntrySuffix = ".window";

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text) {
    Number value{};
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::string FormatWindowEntry(const WindowEntryRecord& record) {
    std::string text(kHeader);
    text += "\npid=" + std::to_string(record.pid);
    text += "\nstarted=" + std::to_string(record.startTicks);
    // Captions are free text: a line break or a control byte must not end the field.
    text += "\nclass=" + EscapeReversibly(record.className);
    text += "\ncaption=" + EscapeReversibly(record.caption);
    text += '\n';
    return text;
}

std::optional<WindowEntryRecord> ParseWindowEntry(std::string_view text) {
    if (text.size() > kMaxEntryFileBytes || !text.ends_with('\n')) {
        return std::nullopt;
    }
    std::optional<std::string_view> pid, started, className, caption;
    bool headerSeen = false;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (!headerSeen) {
            if (line != kHeader) {
                return std::nullopt;
            }
            headerSeen = true;
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view key = line.substr(0, equals);
        auto* slot = key == "pid"       ? &pid
                     : key == "started" ? &started
                     : key == "class"   ? &className
                     : key == "caption" ? &caption
                                        : nullptr;
        if (slot == nullptr) {
            continue;  // a later version's field
        }
        if (slot->has_value()) {
            return std::nullopt;
        }
        *slot = line.substr(equals + 1);
    }
    if (!pid || !started || !className || !caption) {
        return std::nullopt;
    }
    WindowEntryRecord record;
    const auto pidValue = ParseNumber<pid_t>(*pid);
    const auto startValue = ParseNumber<std::uint64_t>(*started);
    auto classValue = UnescapeReversibly(*className);
    auto captionValue = UnescapeReversibly(*caption);
    if (!pidValue || *pidValue <= 0 || !startValue || !classValue ||
        classValue->size() > kMaxClassNameBytes || !captionValue ||
        captionValue->size() > kMaxCaptionBytes) {
        return std::nullopt;
    }
    record.pid = *pidValue;
    record.startTicks = *startValue;
    record.className = std::move(*classValue);
    record.caption = std::move(*captionValue);
    return record;
}

std::string WindowFileStem(pid_t pid, std::uint64_t serial) {
    return std::to_string(pid) + "-" + std::to_string(serial);
}

std::filesystem::path EntryFileOf(const std::filesystem::path& folder, std::string_view stem) {
    return folder / (std::string(stem) + std::string(kEntrySuffix));
}

std::filesystem::path SocketFileOf(const std::filesystem::path& folder, std::string_view stem) {
    return folder / (std::string(stem) + ".sock");
}

std::optional<EntryFileName> ParseEntryFileName(std::string_view fileName) {
    if (!fileName.ends_with(kEntrySuffix)) {
        return std::nullopt;
    }
    const std::string_view stem = fileName.substr(0, fileName.size() - kEntrySuffix.size());
    const auto dash = stem.find('-');
    if (dash == std::string_view::npos) {
        return std::nullopt;
    }
    const auto pid = ParseNumber<pid_t>(stem.substr(0, dash));
    const auto serial = ParseNumber<std::uint64_t>(stem.substr(dash + 1));
    if (!pid || *pid <= 0 || !serial) {
        return std::nullopt;
    }
    return EntryFileName{std::string(stem), *pid};
}

std::optional<std::string> ReadEntryFile(const std::filesystem::path& file) {
    // O_NONBLOCK: a FIFO planted under an entry's name must not hang the reader.
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    struct stat info {};
    if (!fd.IsValid() || ::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::size_t>(info.st_size) > kMaxEntryFileBytes) {
        return std::nullopt;
    }
    std::string content(kMaxEntryFileBytes + 1, '\0');
    std::size_t total = 0;
    while (total < content.size()) {
        const ssize_t got = ::read(fd.Get(), content.data() + total, content.size() - total);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        total += static_cast<std::size_t>(got);
    }
    if (total > kMaxEntryFileBytes) {
        return std::nullopt;
    }
    content.resize(total);
    return content;
}

bool WriteEntryFileAtomically(const std::filesystem::path& file, std::string_view content) {
    std::filesystem::path temporary = file;
    temporary += ".tmp";
    UniqueFd fd(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.IsValid()) {
        return false;
    }
    std::size_t written = 0;
    while (written < content.size()) {
        const ssize_t put = ::write(fd.Get(), content.data() + written, content.size() - written);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            ::unlink(temporary.c_str());
            return false;
        }
        written += static_cast<std::size_t>(put);
    }
    fd.Reset();
    if (::rename(temporary.c_str(), file.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool IsTrustedWindowFolder(const std::filesystem::path& folder) {
    struct stat info {};
    return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool PrepareWindowFolder(const std::filesystem::path& folder) {
    if (folder.empty()) {
        return false;
    }
    std::error_code ignored;
    if (folder.has_parent_path()) {
        std::filesystem::create_directories(folder.parent_path(), ignored);
    }
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    return IsTrustedWindowFolder(folder);
}

}  // namespace zn
