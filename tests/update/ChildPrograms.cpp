#include "ChildPrograms.h"

#include <stdlib.h>
#include <unistd.h>

#include <fstream>

namespace zn::test {

std::filesystem::path InstallChild(const std::filesystem::path& folder, const std::string& name) {
    std::filesystem::create_directories(folder);
    const auto program = folder / name;
    std::filesystem::copy_file(ZN_TEST_CHILD, program,
                               std::filesystem::copy_options::skip_existing);
    return program;
}

std::string UniqueProgramName(const std::string& stem) {
    return stem + "-" + std::to_string(getpid());
}

std::vector<std::string> RecordedRuns(const std::filesystem::path& record) {
    std::ifstream input(record);
    std::vector<std::string> runs;
    for (std::string line; std::getline(input, line);) {
        runs.push_back(line);
    }
    return runs;
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : m_name(name) {
    setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    unsetenv(m_name.c_str());
}

}  // namespace zn::test
