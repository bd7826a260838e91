#pragma once

#include <filesystem>

namespace zn {

class ISoundPlayer {
public:
    virtual ~ISoundPlayer() = default;
    // Plays the WAV file and returns when it has played. A missing or undecodable file plays the
    // default sound instead. Never reports a failure: without a sound device it is silent.
    virtual void PlayFileSync(const std::filesystem::path& wavFile) = 0;
};

// True when PlayFileSync would play this file itself: it decodes to its end within the player's
// bounds. False means the default sound would play in its place.
bool IsPlayableSoundFile(const std::filesystem::path& wavFile);

// libsndfile decoding, ALSA "default" device; the default sound is a short tone made in memory.
class AlsaSoundPlayer final : public ISoundPlayer {
public:
    AlsaSoundPlayer();
    void PlayFileSync(const std::filesystem::path& wavFile) override;
};

}  // namespace zn
