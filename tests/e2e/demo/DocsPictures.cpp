#include "DocsPictures.h"

#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "Screens.h"

extern char** environ;

namespace zn::e2e {
namespace {

using namespace std::chrono_literals;

// The launcher checks for the release after the build and the console's start.
constexpr auto kLauncherLimit = 300s;
constexpr auto kWindowLimit = 20s;
constexpr std::string_view kHeldFile = "/Zentrova/NubraClient_Murvel/Update/files/skin/seat.css";
// The popup's skin, at the right end of the tray along the bottom edge.
constexpr int kPopupWidth = 148;
constexpr int kPopupHeight = 120;
constexpr int kTrayHeight = 28;

// This process's environment with the display.
std::vector<std::string> OnDisplay(const std::string& display) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!std::string_view(*entry).starts_with("DISPLAY=")) {
            environment.emplace_back(*entry);
        }
    }
    environment.push_back("DISPLAY=" + display);
    return environment;
}

}  // namespace

void PictureLauncher(ReleaseServer& releases, const DemoPlaces& places, Transcript& transcript) {
    if (places.pictures.empty()) {
        return;
    }
    releases.Hold(std::string(kHeldFile));
    if (!releases.WaitForHeld(kLauncherLimit)) {
        transcript.Fail("the launcher did not fetch the seat client's release");
        return;
    }
    const std::string window = WindowOf(places.seatDisplay, "LaunchNubraClient", kWindowLimit);
    if (window.empty()) {
        transcript.Fail("the launcher showed no window");
    } else {
        std::this_thread::sleep_for(1s);  // the status line paints
        Screenshot(transcript, places.seatDisplay, places.pictures / "launcher.png", window);
    }
    releases.ReleaseHeld();
}

void PictureSeat(const DemoPlaces& places, Transcript& transcript) {
    if (places.pictures.empty()) {
        return;
    }
    std::this_thread::sleep_for(2s);  // the shop page paints
    Screenshot(transcript, places.seatDisplay, places.pictures / "seat.png");
}

void PictureCounter(const DemoPlaces& places, Transcript& transcript) {
    if (places.pictures.empty()) {
        return;
    }
    const auto counter = places.pictures / "console.png";
    const auto popup = places.pictures / "popup.png";
    if (Screenshot(transcript, places.counterDisplay, counter)) {
        transcript.Expect(CropCorner(counter, popup, kPopupWidth, kPopupHeight, kTrayHeight),
                          "screenshot: " + popup.string(), "the popup could not be cut out");
    }
}

void PictureConfigWelcome(const DemoPlaces& places, Transcript& transcript) {
    if (places.pictures.empty()) {
        return;
    }
    const auto folder = places.state / "console";
    zn::test::ChildProcess tool({.arguments = {(folder / "ZentrovaNubraConfig").string()},
                                 .folder = folder,
                                 .environment = OnDisplay(places.counterDisplay),
                                 .log = places.state / "output" / "config.log",
                                 .ownGroup = true});
    const std::string window = WindowOf(places.counterDisplay, "ZentrovaNubraConfig", kWindowLimit);
    if (window.empty()) {
        transcript.Fail("the configuration tool showed no window");
        return;
    }
    std::this_thread::sleep_for(1s);  // the page paints
    Screenshot(transcript, places.counterDisplay, places.pictures / "config-welcome.png", window,
               true);
    tool.Stop(5s);
}

}  // namespace zn::e2e
