#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zn::config {

// The tool lives in the console's folder and writes the console's files there.
std::filesystem::path SeatListPath();
std::filesystem::path NoticePagePath();
std::filesystem::path AlertSoundPath();

// What the administrator is told when one of them could not be written: `failure` names the file
// and why. The old file stays as it was.
std::string WriteFailedMessage(std::string_view failure);

}  // namespace zn::config
