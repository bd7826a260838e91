#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ChildProcess.h"
#include "Sandbox.h"

namespace zn::e2e {

struct ProgramOptions {
    std::filesystem::path source{};  // the built program file
    std::string name{};              // its name in `folder`
    std::filesystem::path folder{};  // its program folder and working folder
    std::vector<std::string> arguments{};
    std::filesystem::path output{};  // standard output and error, appended
    std::filesystem::path dialogLog{};
    std::string dialogAnswers{};
    bool takesInput = false;  // standard input from a pipe, for WriteInput
};

// A real program, offscreen, in automation mode, from a link (or copy) of the program file in its
// folder. It runs in a process group of its own, killed with its browser processes when the
// object goes.
class ProgramProcess {
public:
    ProgramProcess(const zn::test::Sandbox& sandbox, ProgramOptions options);

    bool Started() const { return m_child.Started(); }
    bool Running() { return m_child.Running(); }
    // The exit code once the program has ended by itself within the limit.
    std::optional<int> WaitForExit(std::chrono::milliseconds limit) {
        return m_child.WaitForExit(limit);
    }

protected:
    bool WriteInput(std::string_view text) { return m_child.WriteInput(text); }

private:
    zn::test::ChildProcess m_child;
};

}  // namespace zn::e2e
