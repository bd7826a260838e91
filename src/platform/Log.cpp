#include "platform/Log.h"

#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/sinks/stdout_sinks.h>
#include <spdlog/sinks/systemd_sink.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "platform/ProgramFolder.h"
#include "platform/Utf8.h"

namespace zn::log {

std::filesystem::path Folder() {
    if (const char* folder = std::getenv("ZENTROVA_LOG_DIR"); folder != nullptr && *folder) {
        return folder;
    }
    return DriveC() / "log";
}

std::string Printable(std::string_view text, std::size_t maxBytes) {
    const std::string_view kept = Utf8::Cut(text, maxBytes);
    std::string printable = EscapeControlBytes(kept);
    if (kept.size() < text.size()) {
        printable += "...";
    }
    return printable;
}

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// The journal keeps time, program, pid and priority itself: its lines carry the text alone.
std::shared_ptr<spdlog::logger> JournalLogger(const std::string& program) {
    return std::make_shared<spdlog::logger>(
        program, std::make_shared<spdlog::sinks::systemd_sink_mt>(program));
}

}  // namespace

bool RunsUnderSystemd() {
    // JOURNAL_STREAM: stderr already goes to the journal; INVOCATION_ID: started as a unit.
    return IsSet("JOURNAL_STREAM") || IsSet("INVOCATION_ID");
}

void StartProgramLog(std::string_view program) {
    if (RunsUnderSystemd()) {
        spdlog::set_default_logger(JournalLogger(std::string(program)));
        return;
    }
    std::vector<spdlog::sink_ptr> sinks{std::make_shared<spdlog::sinks::stderr_sink_mt>()};
    std::string fileFailure;
    const std::filesystem::path file = Folder() / (std::string(program) + ".log");
    try {
        std::error_code ignored;
        std::filesystem::create_directories(file.parent_path(), ignored);
        sinks.push_back(std::make_shared<spdlog::sinks::rotating_file_sink_mt>(
            file.string(), kMaxFileBytes, kKeptFiles));
    } catch (const spdlog::spdlog_ex& failure) {
        fileFailure = failure.what();
    }
    auto logger =
        std::make_shared<spdlog::logger>(std::string(program), sinks.begin(), sinks.end());
    logger->set_pattern("%Y-%m-%d %H:%M:%S.%e %n[%P] %l: %v");
    // Each line reaches the file at once: a program that hangs and is killed leaves its record.
    logger->flush_on(spdlog::level::trace);
    spdlog::set_default_logger(std::move(logger));
    if (!fileFailure.empty()) {
        Warn("log file {} cannot be written: {}", file.string(), fileFailure);
    }
}

}  // namespace zn::log
