#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace zn::e2e {

// The demo's lines as a person reads them: each with the seconds since the demo started, on
// standard output and appended to the transcript file. A failure is a line too, and counted.
class Transcript {
public:
    Transcript(const std::filesystem::path& file, std::chrono::system_clock::time_point started);

    void Note(std::string_view text);
    void Fail(std::string_view text);
    // Notes `seen` when the condition held, else fails with `missed`; whether it held.
    bool Expect(bool held, std::string_view seen, std::string_view missed);
    bool Failed() const { return m_failures > 0; }

private:
    std::ofstream m_file;
    std::chrono::system_clock::time_point m_started;
    int m_failures = 0;
};

}  // namespace zn::e2e
