#include "PartnerSounds.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace zn::webhost {

namespace {

constexpr int kRate = 22050;
constexpr double kAmplitude = 0.4;
constexpr double kFadeSeconds = 0.005;

// One note: a tone with a little of its octave, or a rest at frequency 0. A bell dies away; a beep
// only fades at its ends so that it does not click.
struct Note {
    double frequency;
    double seconds;
    bool bell;
};

constexpr Note kDingDong[] = {{1318.5, 0.35, true}, {1046.5, 0.6, true}};
constexpr Note kBeeps[] = {{988.0, 0.1, false},
                           {0.0, 0.08, false},
                           {988.0, 0.1, false},
                           {0.0, 0.08, false},
                           {988.0, 0.1, false}};
constexpr Note kRising[] = {
    {523.3, 0.12, false}, {659.3, 0.12, false}, {784.0, 0.12, false}, {1046.5, 0.3, true}};

struct Recipe {
    PartnerSound sound;
    std::span<const Note> notes;
};

constexpr std::array kRecipes = {
    Recipe{{"dingdong.wav", "叮咚"}, kDingDong},
    Recipe{{"beeps.wav", "三声提示"}, kBeeps},
    Recipe{{"rising.wav", "上升音阶"}, kRising},
};

std::vector<std::int16_t> Render(std::span<const Note> notes) {
    std::vector<std::int16_t> samples;
    for (const Note& note : notes) {
        const auto frames = static_cast<int>(note.seconds * kRate);
        for (int i = 0; i < frames; ++i) {
            const double t = static_cast<double>(i) / kRate;
            const double edges =
                std::min({1.0, t / kFadeSeconds, (note.seconds - t) / kFadeSeconds});
            const double envelope = note.bell ? edges * std::exp(-5.0 * t) : edges;
            const double phase = 2.0 * std::numbers::pi * note.frequency * t;
            const double value =
                note.frequency == 0.0
                    ? 0.0
                    : kAmplitude * envelope * (0.8 * std::sin(phase) + 0.2 * std::sin(2.0 * phase));
            samples.push_back(static_cast<std::int16_t>(std::lround(value * 32767.0)));
        }
    }
    return samples;
}

void PutLittleEndian(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

std::string Wav(const std::vector<std::int16_t>& samples) {
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::string wav = "RIFF";
    PutLittleEndian(wav, 36 + dataBytes, 4);
    wav += "WAVEfmt ";
    PutLittleEndian(wav, 16, 4);  // format chunk size
    PutLittleEndian(wav, 1, 2);   // PCM
    PutLittleEndian(wav, 1, 2);   // mono
    PutLittleEndian(wav, kRate, 4);
    PutLittleEndian(wav, kRate * 2, 4);  // bytes per second
    PutLittleEndian(wav, 2, 2);          // bytes per frame
    PutLittleEndian(wav, 16, 2);         // bits per sample
    wav += "data";
    PutLittleEndian(wav, dataBytes, 4);
    for (const std::int16_t sample : samples) {
        PutLittleEndian(wav, static_cast<std::uint16_t>(sample), 2);
    }
    return wav;
}

}  // namespace

std::span<const PartnerSound> PartnerSounds() {
    static const std::vector<PartnerSound> sounds = [] {
        std::vector<PartnerSound> offered;
        for (const Recipe& recipe : kRecipes) {
            offered.push_back(recipe.sound);
        }
        return offered;
    }();
    return sounds;
}

std::optional<std::string> PartnerSoundWav(std::string_view fileName) {
    for (const Recipe& recipe : kRecipes) {
        if (recipe.sound.fileName == fileName) {
            return Wav(Render(recipe.notes));
        }
    }
    return std::nullopt;
}

}  // namespace zn::webhost
