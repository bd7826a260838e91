#pragma once

#include <filesystem>

#include "update/UpdateRun.h"

namespace zn::seatupdate {

// The folder of a seat's program folder where the service keeps the installed release's record
// ("Version.xml") and its lock: written by the service's account only, so a customer can neither
// change the record nor make one before the service does.
std::filesystem::path RecordFolder(const std::filesystem::path& programFolder);

// One update of programFolder/Content with the settings of programFolder/gameclient.dat (the
// current folder must be programFolder), once any run of another process has ended. Progress and
// result go to `output` as the service's lines. A lock that cannot be taken is logged and fails
// the run as a server that cannot be reached.
UpdateResult RunSeatUpdate(const std::filesystem::path& programFolder, int output);

}  // namespace zn::seatupdate
