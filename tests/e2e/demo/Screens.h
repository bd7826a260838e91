#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

#include "Transcript.h"

namespace zn::e2e {

// A picture of the display's whole screen, or of one window ("root" or an X window id), noted in
// the transcript; `frame` takes the window manager's frame too. False when none was taken.
bool Screenshot(Transcript& transcript, const std::string& display,
                const std::filesystem::path& file, std::string_view window = "root",
                bool frame = false);

// The id of the largest shown window of the program's X class on the display; empty when none
// was shown within the limit.
std::string WindowOf(const std::string& display, std::string_view programClass,
                     std::chrono::milliseconds limit);

// The part of a picture at the bottom right corner, `bottomMargin` pixels above its edge.
bool CropCorner(const std::filesystem::path& picture, const std::filesystem::path& file, int width,
                int height, int bottomMargin);

}  // namespace zn::e2e
