#pragma once

#include <filesystem>

namespace zn::config {

// The tool lives in the console's folder and writes the console's files there.
std::filesystem::path SeatListPath();
std::filesystem::path NoticePagePath();
std::filesystem::path AlertSoundPath();

}  // namespace zn::config
