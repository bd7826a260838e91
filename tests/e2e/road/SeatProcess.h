#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>

#include "Sandbox.h"

namespace zn::e2e {

// The real ZentrovaNubraClient, offscreen, in automation mode, from a link (or copy) of the program
// file in `folder`: its program folder ("MyZentrova2.html") and working folder (settings files).
// Killed with its browser processes when the object goes.
class SeatProcess {
public:
    SeatProcess(const zn::test::Sandbox& sandbox, const std::filesystem::path& folder,
                const std::filesystem::path& dialogLog);
    ~SeatProcess();
    SeatProcess(const SeatProcess&) = delete;
    SeatProcess& operator=(const SeatProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    bool Running();
    // The exit code once the program has ended by itself within the limit.
    std::optional<int> WaitForExit(std::chrono::milliseconds limit);

private:
    pid_t m_pid = -1;
    std::optional<int> m_exitCode;
};

}  // namespace zn::e2e
