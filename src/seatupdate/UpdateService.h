#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace zn::seatupdate {

// A launcher that has connected asks for its run within this time, or is closed.
inline constexpr std::chrono::seconds kRequestWait{2};
// Connections served at once; one more is closed at once (each waits its turn for the run lock).
inline constexpr int kMaxConnections = 8;

// Serves launchers on the listening socket `listener` until accepting fails for good. A
// connection that asks for a run (and nothing else: no setting comes from it) gets one, in a
// child started with `runCommand` (the program first) whose progress and result lines it
// receives as they come. A connection that hangs up, says anything more or stops reading has its
// run killed, unless the run has reported kProgressDeploying: that one finishes as one step.
void ServeLaunchers(int listener, const std::vector<std::string>& runCommand);

}  // namespace zn::seatupdate
