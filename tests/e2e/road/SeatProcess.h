#pragma once

#include <filesystem>

#include "ProgramProcess.h"
#include "Sandbox.h"

namespace zn::e2e {

// The real ZentrovaNubraClient from a link (or copy) of the program file in `folder`: its program
// folder ("MyZentrova2.html") and working folder (settings files).
class SeatProcess : public ProgramProcess {
public:
    SeatProcess(const zn::test::Sandbox& sandbox, const std::filesystem::path& folder,
                const std::filesystem::path& dialogLog);
};

}  // namespace zn::e2e
