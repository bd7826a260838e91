#pragma once

#include <filesystem>
#include <string>

#include "BackOfficeFront.h"
#include "Transcript.h"

namespace zn::e2e {

// Where the demo's programs keep what the driver checks.
struct DemoPlaces {
    std::filesystem::path state;  // console/, seat/, registry/ and output/ of the demo
    std::string counterDisplay;   // the X displays of the counter and the seat, for screenshots
    std::string seatDisplay;
    std::string seatAddress;  // by which the seat reaches the console (and the console sees it)
    std::filesystem::path pictures{};  // for the README's and the guide's pictures; none if empty
};

// The customer and the cashier of the headless demo, once the console is logged in and the seat
// shows the shop: two orders back to back and a message at the seat, the second order completed
// at the counter and the day's orders opened there with the first still open, each step checked
// and noted, and screenshots of both screens (and the docs' pictures on the way). False when a step
// was not seen.
bool PlayCustomerAndCashier(BackOfficeFront& front, const DemoPlaces& places,
                            Transcript& transcript);

}  // namespace zn::e2e
