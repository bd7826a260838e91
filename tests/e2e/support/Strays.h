#pragma once

#include <sys/types.h>

#include <filesystem>
#include <vector>

namespace zn::e2e {

// Live processes whose program file lies in the folder: what a launcher under test started in a
// session of its own, outside the process group that the test kills.
std::vector<pid_t> ProgramsUnder(const std::filesystem::path& folder);

// Kills each of them with its process group (its browser processes). Only processes of files in
// the test's own folder are touched.
void KillProgramsUnder(const std::filesystem::path& folder);

}  // namespace zn::e2e
