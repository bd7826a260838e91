#pragma once

#include <filesystem>

namespace zn::console {

// How the console's core starts other programs (the seat launcher); UI thread.
class IProgramStarter {
public:
    virtual ~IProgramStarter() = default;
    // Starts the program without arguments, working folder or waiting; false when it failed
    // (logged).
    virtual bool StartProgram(const std::filesystem::path& program) = 0;
};

// Starts the program as a deployment script's command of mode 0 would: its ".exe" dropped unless
// a file has it, in a session of its own.
class ProgramStarter final : public IProgramStarter {
public:
    bool StartProgram(const std::filesystem::path& program) override;
};

}  // namespace zn::console
