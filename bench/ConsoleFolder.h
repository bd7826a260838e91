#pragma once

#include <cstddef>
#include <filesystem>

namespace zn::bench {

// The console's program folder as a cafe has it: a seat list naming the load tool's seats of
// block 1 (SeatAddress) and the notice page in GBK. False when a file cannot be written.
bool PrepareConsoleFolder(const std::filesystem::path& folder, std::size_t seats);

}  // namespace zn::bench
