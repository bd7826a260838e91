#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zn::webhost {

// A sound that the partner page offers as the counter's alert.
struct PartnerSound {
    std::string_view fileName;
    std::string_view label;
};

// Served under this path, which is what the page's "SoundPath" holds (no leading "/").
inline constexpr std::string_view kPartnerSoundFolder = "9tqa/sounds/";

std::span<const PartnerSound> PartnerSounds();

// The sound made here as a WAV file (16-bit mono PCM); nullopt for a name not offered.
std::optional<std::string> PartnerSoundWav(std::string_view fileName);

}  // namespace zn::webhost
