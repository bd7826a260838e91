#include "console/ProgramStarter.h"

#include "update/CommandRunner.h"

namespace zn::console {

bool ProgramStarter::StartProgram(const std::filesystem::path& program) {
    // Mode 0 resolves the command as written: no program folder is looked in.
    return CommandRunner(0, program.string(), {}, {}).Run() == 0;
}

}  // namespace zn::console
