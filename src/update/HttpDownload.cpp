#include "update/HttpDownload.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "platform/Log.h"
#include "platform/ReplacementFile.h"
#include "update/HttpGet.h"

namespace zn {

namespace {

class MemorySink : public IBodySink {
public:
    MemorySink(std::string& buffer, std::string_view suffix) : m_buffer(buffer), m_suffix(suffix) {}

    bool Begin(std::uint64_t length) override {
        if (length > kMaxMemoryDownloadBytes) {
            log::Error("Refused a download of {} bytes into memory (at most {})", length,
                       kMaxMemoryDownloadBytes);
            return false;
        }
        m_buffer.assign(static_cast<std::size_t>(length), '\0');
        m_buffer += m_suffix;
        m_written = 0;
        return true;
    }

    bool Write(std::string_view bytes) override {
        m_buffer.replace(m_written, bytes.size(), bytes);
        m_written += bytes.size();
        return true;
    }

private:
    std::string& m_buffer;
    std::string_view m_suffix;
    std::size_t m_written = 0;
};

class FileSink : public IBodySink {
public:
    FileSink(const std::filesystem::path& file, const FileDownloadRules& rules)
        : m_file(file), m_rules(rules) {}

    bool Begin(std::uint64_t length) override {
        m_replacement.reset();
        if (length > m_rules.maxBytes) {
            log::Error("Refused a download of {} bytes into {} (at most {})", length,
                       m_file.string(), m_rules.maxBytes);
            return false;
        }
        auto created = ReplacementFile::Create(m_file);
        if (!created) {
            log::Error("Cannot make a temporary file beside {}: {}", m_file.string(),
                       std::strerror(errno));
            return false;
        }
        m_replacement.emplace(std::move(*created));
        m_firstBytes.clear();
        return true;
    }

    bool Write(std::string_view bytes) override {
        if (m_firstBytes.size() < kSniffedBytes) {
            m_firstBytes += bytes.substr(0, kSniffedBytes - m_firstBytes.size());
        }
        if (!m_replacement->Write(bytes)) {
            log::Error("Cannot write the download of {}: {}", m_file.string(),
                       std::strerror(errno));
            return false;
        }
        return true;
    }

    bool Commit() {
        if (m_rules.accept && !m_rules.accept(m_replacement->TemporaryPath())) {
            return false;
        }
        const int error = m_replacement->Commit(ReplacementMode(m_file, m_firstBytes));
        if (error != 0) {
            log::Error("Cannot put the download in place as {}: {}", m_file.string(),
                       std::strerror(error));
        }
        return error == 0;
    }

private:
    static constexpr std::size_t kSniffedBytes = 4;
    const std::filesystem::path& m_file;
    const FileDownloadRules& m_rules;
    std::optional<ReplacementFile> m_replacement;
    std::string m_firstBytes;
};

}  // namespace

std::chrono::milliseconds DownloadTimeouts::TryLimit(std::uint64_t length) const {
    constexpr std::chrono::milliseconds kWeek = std::chrono::hours(24 * 7);
    const double lengthMs = static_cast<double>(length) * 1000.0 /
                            static_cast<double>(std::max<std::uint64_t>(bytesPerSecond, 1));
    const double limitMs = static_cast<double>(std::chrono::milliseconds(base).count()) + lengthMs;
    return limitMs >= static_cast<double>(kWeek.count())
               ? kWeek
               : std::chrono::milliseconds(static_cast<std::int64_t>(limitMs));
}

std::size_t DownloadToMemory(const DownloadSource& source, std::string_view suffix,
                             std::string& buffer, const DownloadTimeouts& timeouts) {
    MemorySink sink(buffer, suffix);
    const auto length = HttpGet(source, timeouts, sink);
    if (!length) {
        buffer.clear();
        buffer.shrink_to_fit();
        return 0;
    }
    return static_cast<std::size_t>(*length);
}

std::size_t DownloadToFile(const DownloadSource& source, const std::filesystem::path& file,
                           const DownloadTimeouts& timeouts, const FileDownloadRules& rules) {
    FileSink sink(file, rules);
    const auto length = HttpGet(source, timeouts, sink);
    return length && sink.Commit() ? static_cast<std::size_t>(*length) : 0;
}

}  // namespace zn
