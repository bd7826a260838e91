#include "SeatProcess.h"

namespace zn::e2e {

SeatProcess::SeatProcess(const zn::test::Sandbox& sandbox, const std::filesystem::path& folder,
                         const std::filesystem::path& dialogLog)
    : ProgramProcess(sandbox, {.source = ZN_CLIENT_PROGRAM,
                               .name = "ZentrovaNubraClient",
                               .folder = folder,
                               .output = folder / "client-output.txt",
                               .dialogLog = dialogLog}) {}

}  // namespace zn::e2e
