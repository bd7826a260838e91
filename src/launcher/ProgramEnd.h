#pragma once

#include <chrono>
#include <filesystem>

namespace zn::launcher {

// Whether a live process runs the program file (an ended one that is not yet reaped does not).
bool IsProgramRunning(const std::filesystem::path& file);

// Waits up to `limit` for every process of the program file to end; true when none is left.
bool WaitForProgramEnd(const std::filesystem::path& file, std::chrono::milliseconds limit);

}  // namespace zn::launcher
