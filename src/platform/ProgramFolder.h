#pragma once

#include <filesystem>
#include <string_view>

namespace zn {

// The folder of the running program file (/proc/self/exe); files the programs exchange lie here.
std::filesystem::path ProgramFolder();
// ProgramFolder() / "Content".
std::filesystem::path ContentFolder();
// Stand-in for "c:\": $ZENTROVA_DRIVE_C, else ${XDG_STATE_HOME:-~/.local/state}/zentrova.
std::filesystem::path DriveC();

}  // namespace zn
