#pragma once

#include "DemoRoad.h"
#include "ReleaseServer.h"
#include "Transcript.h"

namespace zn::e2e {

// The pictures of the README and the administrator's guide, taken on the demo's screens into
// places.pictures; each does nothing when no folder was given. A picture not taken is a failure.

// The seat's launcher while its download of the seat client's release is held; the download then
// goes on.
void PictureLauncher(ReleaseServer& releases, const DemoPlaces& places, Transcript& transcript);
// The seat client's shop window.
void PictureSeat(const DemoPlaces& places, Transcript& transcript);
// The counter with an order's page and its popup, and the popup on its own.
void PictureCounter(const DemoPlaces& places, Transcript& transcript);
// The configuration tool's welcome page, the tool started from the console's folder as installed.
void PictureConfigWelcome(const DemoPlaces& places, Transcript& transcript);

}  // namespace zn::e2e
