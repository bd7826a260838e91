// The seat list as the console reads it: a SeatList.xml of any content, asked for any address.
// Input: the address, a NUL, the file's content.

#include <cstdint>
#include <fstream>

#include "FuzzSupport.h"
#include "console/SeatList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parts = zn::fuzz::SplitInput({data, size}, '\0', 2);
    const auto& folder = zn::fuzz::ScratchFolder();
    {
        std::ofstream file(folder / zn::console::kSeatListFileName,
                           std::ios::binary | std::ios::trunc);
        file.write(parts[1].data(), static_cast<std::streamsize>(parts[1].size()));
    }
    zn::console::LookUpSeat(folder, parts[0]);
    return 0;
}
