#include "Transcript.h"

#include <cstdio>
#include <ratio>
#include <string>

namespace zn::e2e {

Transcript::Transcript(const std::filesystem::path& file,
                       std::chrono::system_clock::time_point started)
    : m_file(file, std::ios::app), m_started(started) {}

void Transcript::Note(std::string_view text) {
    const auto tenths = std::chrono::duration_cast<std::chrono::duration<long long, std::deci>>(
                            std::chrono::system_clock::now() - m_started)
                            .count();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "[%3lld.%llds] ", tenths / 10, tenths % 10);
    const std::string line = stamp + std::string(text) + "\n";
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
    m_file << line << std::flush;
}

void Transcript::Fail(std::string_view text) {
    ++m_failures;
    Note("FAILED: " + std::string(text));
}

bool Transcript::Expect(bool held, std::string_view seen, std::string_view missed) {
    if (held) {
        Note(seen);
    } else {
        Fail(missed);
    }
    return held;
}

}  // namespace zn::e2e
