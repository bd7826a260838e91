#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "Transcript.h"

namespace zn::e2e {

// The demo's ports on loopback.
struct DemoPorts {
    std::uint16_t webHost = 0;
    std::uint16_t console = 0;  // the console's LocalPort, where seats greet it
    std::uint16_t seat = 0;
    std::uint16_t discovery = 0;
};

// The console's and the seat's registry values in the folder: the console starts logged in to the
// local back office with the demo account and takes its releases from the web host, signed with
// `releaseKey`. False when a value could not be written.
bool WriteDemoSettings(const std::filesystem::path& registry, const DemoPorts& ports,
                       const std::string& releaseKey);

// Waits until the console, once logged in, greets the seat at its address, and notes the greeting.
bool NoteGreeting(const std::string& seatAddress, std::uint16_t consolePort,
                  Transcript& transcript);

// Waits until the seat's launcher (its output in output/seat.log of the state folder) has started
// the seat client, and notes its status lines and the release it took into the seat's folder.
bool NoteLauncher(const std::filesystem::path& state, Transcript& transcript);

}  // namespace zn::e2e
