#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "Sandbox.h"

namespace zn::test {

// The test child program (TestChild.cpp) copied into a folder under a name of the test's choice,
// so that a process can be found by a name no other process has.
std::filesystem::path InstallChild(const std::filesystem::path& folder, const std::string& name);

// A name unique to this test process.
std::string UniqueProgramName(const std::string& stem);

// The lines the children wrote to their record file, one per run.
std::vector<std::string> RecordedRuns(const std::filesystem::path& record);

// Sets an environment variable for a scope (children inherit it).
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
};

}  // namespace zn::test
