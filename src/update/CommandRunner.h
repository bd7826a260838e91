#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zn {

// A flag-2 program that has not ended by then is left running and the caller goes on (logged).
inline constexpr std::chrono::minutes kProgramWaitLimit{10};

// One program to start, with the "Mode" flags of a deployment script.
class CommandRunner {
public:
    static constexpr std::uint16_t kFromContentFolder = 1;
    static constexpr std::uint16_t kWaitForEnd = 2;
    static constexpr std::uint16_t kHidden = 4;
    static constexpr std::uint16_t kFromProgramFolder = 8;  // ignored with kFromContentFolder

    // The command is resolved at once: in the content folder (programFolder/Content) for
    // kFromContentFolder, else in the program folder for kFromProgramFolder, else used as written
    // (an absolute path, or a name looked up in PATH). Backslashes count as "/"; a name ending in
    // ".exe" also finds the file without it.
    CommandRunner(std::uint16_t flags, std::string_view command, std::vector<std::string> arguments,
                  const std::filesystem::path& programFolder);

    // Starts the program with the argument vector that a Windows program would split from the
    // command line "path" arg1 arg2 ...; kHidden sends its output to /dev/null. With kWaitForEnd
    // it waits up to waitLimit. 0 when it was started, else the errno value (logged).
    int Run(std::chrono::milliseconds waitLimit = kProgramWaitLimit) const;

    const std::string& Path() const { return m_path; }
    const std::vector<std::string>& Arguments() const { return m_arguments; }

private:
    std::uint16_t m_flags;
    std::string m_path;
    std::vector<std::string> m_arguments;
};

}  // namespace zn
