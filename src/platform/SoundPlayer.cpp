#include "platform/SoundPlayer.h"

#include "platform/PlaybackTurns.h"

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <numbers>
#include <string_view>
#include <vector>

namespace zn {
namespace {

// An alert sound is a few seconds; anything far larger is refused rather than held for minutes.
constexpr off_t kMaxFileBytes = 50 * 1024 * 1024;
constexpr sf_count_t kMaxSeconds = 60;
constexpr int kMaxChannels = 8;
constexpr int kMinRate = 4000;
constexpr int kMaxRate = 192000;
constexpr unsigned kLatencyMicroseconds = 200000;
constexpr sf_count_t kChunkFrames = 4096;
constexpr int kMaxFailedWrites = 8;

void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

// Without a card ALSA prints its complaints to stderr; silence is the promised behaviour.
void SilenceAlsaOnce() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(IgnoreAlsaError); });
}

PlaybackTurns& Turns() {
    static PlaybackTurns turns;
    return turns;
}

std::int16_t ToSample(float value) {
    if (std::isnan(value)) {
        return 0;
    }
    const float scaled = value * 32768.0f;
    if (scaled >= 32767.0f) {
        return 32767;
    }
    if (scaled <= -32768.0f) {
        return -32768;
    }
    return static_cast<std::int16_t>(std::lrintf(scaled));
}

class PlaybackDevice {
public:
    // Silent (not open) when there is no device or it refuses the format.
    PlaybackDevice(int channels, int rate) : m_channels(channels) {
        SilenceAlsaOnce();
        // Opened without blocking so a busy device cannot hold the caller; writes then block.
        if (snd_pcm_open(&m_pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) {
            m_pcm = nullptr;
            return;
        }
        if (snd_pcm_nonblock(m_pcm, 0) < 0 ||
            snd_pcm_set_params(m_pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED,
                               static_cast<unsigned>(channels), static_cast<unsigned>(rate), 1,
                               kLatencyMicroseconds) < 0) {
            snd_pcm_close(m_pcm);
            m_pcm = nullptr;
        }
    }
    ~PlaybackDevice() {
        if (m_pcm) {
            m_drop ? snd_pcm_drop(m_pcm) : snd_pcm_drain(m_pcm);
            snd_pcm_close(m_pcm);
        }
    }
    PlaybackDevice(const PlaybackDevice&) = delete;
    PlaybackDevice& operator=(const PlaybackDevice&) = delete;

    bool IsOpen() const { return m_pcm != nullptr; }

    // False when the device failed beyond recovery or the turn was cut off (what is still in
    // the device's buffer is then dropped, not played out).
    bool Write(const std::int16_t* samples, std::size_t frames, const PlaybackTurns::Turn& turn) {
        int failures = 0;
        while (frames > 0) {
            if (turn.IsCutOff()) {
                m_drop = true;
                return false;
            }
            const auto chunk = std::min(frames, static_cast<std::size_t>(kChunkFrames));
            const snd_pcm_sframes_t written = snd_pcm_writei(m_pcm, samples, chunk);
            if (written < 0) {
                if (++failures > kMaxFailedWrites ||
                    snd_pcm_recover(m_pcm, static_cast<int>(written), 1) < 0) {
                    return false;
                }
                continue;
            }
            failures = 0;
            const auto done = static_cast<std::size_t>(written);
            samples += done * static_cast<std::size_t>(m_channels);
            frames -= done;
        }
        return true;
    }

private:
    snd_pcm_t* m_pcm = nullptr;
    int m_channels;
    bool m_drop = false;
};

// WAV only, as Windows plays it: the decoder reads many more formats, whose parsers a file from
// the network should not reach.
bool StartsLikeWav(int fd) {
    char head[12];
    return pread(fd, head, sizeof head, 0) == static_cast<ssize_t>(sizeof head) &&
           std::string_view(head, 4) == "RIFF" && std::string_view(head + 8, 4) == "WAVE";
}

class SoundFile {
public:
    explicit SoundFile(const std::filesystem::path& file) {
        // A FIFO or device must not block the caller, and the size is checked on what was opened.
        const int fd = open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            return;
        }
        struct stat status {};
        if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > kMaxFileBytes ||
            !StartsLikeWav(fd)) {
            close(fd);
            return;
        }
        // The descriptor now belongs to libsndfile, which closes it even when the open fails.
        m_file = sf_open_fd(fd, SFM_READ, &m_info, SF_TRUE);
    }
    ~SoundFile() {
        if (m_file) {
            sf_close(m_file);
        }
    }
    SoundFile(const SoundFile&) = delete;
    SoundFile& operator=(const SoundFile&) = delete;

    bool IsAcceptable() const {
        return m_file && m_info.channels >= 1 && m_info.channels <= kMaxChannels &&
               m_info.samplerate >= kMinRate && m_info.samplerate <= kMaxRate &&
               m_info.frames > 0 && m_info.frames <= kMaxSeconds * m_info.samplerate;
    }
    int Channels() const { return m_info.channels; }
    int Rate() const { return m_info.samplerate; }
    sf_count_t Frames() const { return m_info.frames; }

    // Frames decoded into the buffer (interleaved 16-bit); 0 at the end or on a decoding error.
    std::size_t Read(std::vector<std::int16_t>& samples) {
        m_floats.resize(static_cast<std::size_t>(kChunkFrames * m_info.channels));
        // Never more than the header announced, so the bounds checked on it hold.
        const sf_count_t wanted = std::min(kChunkFrames, m_info.frames - m_framesRead);
        const sf_count_t frames = wanted > 0 ? sf_readf_float(m_file, m_floats.data(), wanted) : 0;
        if (frames <= 0) {
            return 0;
        }
        m_framesRead += frames;
        const auto count = static_cast<std::size_t>(frames * m_info.channels);
        samples.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            samples[i] = ToSample(m_floats[i]);
        }
        return static_cast<std::size_t>(frames);
    }

private:
    SNDFILE* m_file = nullptr;
    SF_INFO m_info{};
    sf_count_t m_framesRead = 0;
    std::vector<float> m_floats;
};

constexpr int kToneRate = 48000;

// Two short rising beeps, faded in and out so they do not click.
const std::vector<std::int16_t>& DefaultTone() {
    static const std::vector<std::int16_t> tone = [] {
        struct Beep {
            double frequency;
            double seconds;
        };
        constexpr Beep kBeeps[] = {{880.0, 0.12}, {0.0, 0.06}, {1318.5, 0.12}};
        constexpr double kAmplitude = 0.3;
        constexpr double kFadeSeconds = 0.005;
        std::vector<std::int16_t> samples;
        for (const Beep& beep : kBeeps) {
            const auto frames = static_cast<int>(beep.seconds * kToneRate);
            for (int i = 0; i < frames; ++i) {
                const double t = static_cast<double>(i) / kToneRate;
                const double fade =
                    std::min({1.0, t / kFadeSeconds, (beep.seconds - t) / kFadeSeconds});
                const double value =
                    beep.frequency == 0.0
                        ? 0.0
                        : kAmplitude * fade * std::sin(2.0 * std::numbers::pi * beep.frequency * t);
                samples.push_back(ToSample(static_cast<float>(value)));
            }
        }
        return samples;
    }();
    return tone;
}

void PlayDefaultTone(const PlaybackTurns::Turn& turn) {
    PlaybackDevice device(1, kToneRate);
    if (device.IsOpen()) {
        device.Write(DefaultTone().data(), DefaultTone().size(), turn);
    }
}

// False when the file is missing, undecodable or beyond the bounds; device trouble is silence.
bool PlayWavFile(const std::filesystem::path& file, const PlaybackTurns::Turn& turn) {
    SoundFile sound(file);
    if (!sound.IsAcceptable()) {
        return false;
    }
    PlaybackDevice device(sound.Channels(), sound.Rate());
    if (!device.IsOpen()) {
        return true;
    }
    std::vector<std::int16_t> samples;
    while (const std::size_t frames = sound.Read(samples)) {
        if (!device.Write(samples.data(), frames, turn)) {
            break;
        }
    }
    return true;
}

}  // namespace

bool IsPlayableSoundFile(const std::filesystem::path& wavFile) {
    SoundFile sound(wavFile);
    if (!sound.IsAcceptable()) {
        return false;
    }
    // A header can promise more than the data holds; only decoding all of it tells.
    std::vector<std::int16_t> samples;
    sf_count_t decoded = 0;
    while (const std::size_t frames = sound.Read(samples)) {
        decoded += static_cast<sf_count_t>(frames);
    }
    return decoded == sound.Frames();
}

AlsaSoundPlayer::AlsaSoundPlayer() {
    SilenceAlsaOnce();
}

void AlsaSoundPlayer::PlayFileSync(const std::filesystem::path& wavFile) {
    const auto turn = Turns().Begin();
    if (turn && !PlayWavFile(wavFile, *turn)) {
        PlayDefaultTone(*turn);
    }
}

}  // namespace zn
