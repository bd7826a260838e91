#include "platform/SoundPlayer.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Sandbox.h"
#include "WaitFor.h"
#include "platform/PlaybackTurns.h"

namespace {

struct Audio {
    int channels = 0;
    int rate = 0;
    std::vector<std::int16_t> samples;
};

bool WriteWav(const std::filesystem::path& file, const Audio& audio,
              int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16) {
    SF_INFO info{};
    info.channels = audio.channels;
    info.samplerate = audio.rate;
    info.format = format;
    SNDFILE* sound = sf_open(file.c_str(), SFM_WRITE, &info);
    if (!sound) {
        return false;
    }
    const auto count = static_cast<sf_count_t>(audio.samples.size());
    const bool complete = sf_write_short(sound, audio.samples.data(), count) == count;
    return sf_close(sound) == 0 && complete;
}

std::optional<Audio> ReadWav(const std::filesystem::path& file) {
    SF_INFO info{};
    SNDFILE* sound = sf_open(file.c_str(), SFM_READ, &info);
    if (!sound) {
        return std::nullopt;
    }
    Audio audio{info.channels, info.samplerate,
                std::vector<std::int16_t>(static_cast<std::size_t>(info.frames * info.channels))};
    const sf_count_t read =
        sf_read_short(sound, audio.samples.data(), static_cast<sf_count_t>(audio.samples.size()));
    sf_close(sound);
    audio.samples.resize(static_cast<std::size_t>(read));
    return audio;
}

// Stereo with a different pattern per channel, so lost interleaving or scaling shows.
Audio TestPattern(int seconds = 0) {
    Audio audio{2, 22050, {}};
    const int frames = seconds > 0 ? seconds * audio.rate : audio.rate / 4;
    for (int i = 0; i < frames; ++i) {
        audio.samples.push_back(static_cast<std::int16_t>((i * 37) % 20000 - 10000));
        audio.samples.push_back(static_cast<std::int16_t>(-((i * 11) % 30000)));
    }
    return audio;
}

class SoundPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* previous = getenv("ALSA_CONFIG_PATH");
        m_previousConfig = previous ? std::optional<std::string>(previous) : std::nullopt;
    }
    void TearDown() override {
        if (m_previousConfig) {
            setenv("ALSA_CONFIG_PATH", m_previousConfig->c_str(), 1);
        } else {
            unsetenv("ALSA_CONFIG_PATH");
        }
    }

    // ALSA reads its configuration afresh when the file list changes; a new file per test does.
    void UseAlsaConfig(const std::string& defaultDevice) {
        const auto config =
            m_sandbox.WriteFile("asound.conf", "pcm.!default " + defaultDevice + "\n");
        setenv("ALSA_CONFIG_PATH", config.c_str(), 1);
    }
    void CaptureToFile() {
        UseAlsaConfig(R"({ type file; slave.pcm { type null }; file ")" + Capture().string() +
                      R"("; format "wav" })");
    }

    std::filesystem::path Capture() const { return m_sandbox.Path() / "played.wav"; }

    // What one call played, read back from the capture file.
    std::optional<Audio> PlayAndCapture(const std::filesystem::path& file) {
        std::filesystem::remove(Capture());
        m_player.PlayFileSync(file);
        return ReadWav(Capture());
    }

    zn::test::Sandbox m_sandbox;
    zn::AlsaSoundPlayer m_player;

private:
    std::optional<std::string> m_previousConfig;
};

TEST_F(SoundPlayerTest, PlaysTheFileItIsGiven) {
    CaptureToFile();
    const Audio pattern = TestPattern();
    const auto file = m_sandbox.Path() / "alert.wav";
    ASSERT_TRUE(WriteWav(file, pattern));
    EXPECT_TRUE(zn::IsPlayableSoundFile(file));

    const auto played = PlayAndCapture(file);

    ASSERT_TRUE(played) << "nothing was played";
    EXPECT_EQ(played->channels, pattern.channels);
    EXPECT_EQ(played->rate, pattern.rate);
    EXPECT_EQ(played->samples, pattern.samples);
}

TEST_F(SoundPlayerTest, PlaysTheDefaultToneForFilesItCannotOrMustNotPlay) {
    CaptureToFile();
    const auto defaultTone = PlayAndCapture(m_sandbox.Path() / "missing.wav");
    ASSERT_TRUE(defaultTone) << "a missing file played nothing";
    ASSERT_FALSE(defaultTone->samples.empty());
    EXPECT_NE(std::count(defaultTone->samples.begin(), defaultTone->samples.end(), 0),
              static_cast<long>(defaultTone->samples.size()))
        << "the default tone is silence";

    const auto garbage = m_sandbox.WriteFile("garbage.wav", std::string(5000, '\x7f'));
    const auto empty = m_sandbox.WriteFile("empty.wav", "");
    const auto folder = m_sandbox.Path() / "folder.wav";
    std::filesystem::create_directory(folder);
    // Opening a FIFO for reading would wait for a writer that never comes.
    const auto fifo = m_sandbox.Path() / "fifo.wav";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto tooLong = m_sandbox.Path() / "too-long.wav";
    ASSERT_TRUE(WriteWav(tooLong, Audio{1, 8000, std::vector<std::int16_t>(61 * 8000, 1000)}));
    // A short, valid sound padded (sparsely) past the size bound.
    const auto tooLarge = m_sandbox.Path() / "too-large.wav";
    ASSERT_TRUE(WriteWav(tooLarge, TestPattern()));
    std::filesystem::resize_file(tooLarge, 50 * 1024 * 1024 + 1);
    const auto noFrames = m_sandbox.Path() / "no-frames.wav";
    ASSERT_TRUE(WriteWav(noFrames, Audio{1, 8000, {}}));

    // Windows plays WAV files only, whatever else the decoder could read.
    const auto otherFormat = m_sandbox.Path() / "aiff.wav";
    ASSERT_TRUE(WriteWav(otherFormat, TestPattern(), SF_FORMAT_AIFF | SF_FORMAT_PCM_16));

    for (const auto& file :
         {garbage, empty, folder, fifo, tooLong, tooLarge, noFrames, otherFormat}) {
        SCOPED_TRACE(file.filename().string());
        EXPECT_FALSE(zn::IsPlayableSoundFile(file));
        std::atomic<bool> returned = false;
        std::optional<Audio> played;
        std::thread player([&] {
            played = PlayAndCapture(file);
            returned = true;
        });
        if (!zn::test::WaitFor([&] { return returned.load(); })) {
            player.detach();
            FAIL() << "playing did not return";
        }
        player.join();
        ASSERT_TRUE(played) << "nothing was played";
        EXPECT_EQ(played->rate, defaultTone->rate);
        EXPECT_EQ(played->samples, defaultTone->samples);
    }
}

TEST_F(SoundPlayerTest, AcceptsTheLongestAllowedSound) {
    CaptureToFile();
    const Audio sixtySeconds{1, 8000, std::vector<std::int16_t>(60 * 8000, 1000)};
    const auto file = m_sandbox.Path() / "sixty.wav";
    ASSERT_TRUE(WriteWav(file, sixtySeconds));

    const auto played = PlayAndCapture(file);

    ASSERT_TRUE(played);
    EXPECT_EQ(played->samples.size(), sixtySeconds.samples.size());
}

TEST_F(SoundPlayerTest, IsSilentWithoutADevice) {
    // A card looked up by a name that does not exist: ALSA complains on stderr unless silenced.
    UseAlsaConfig(R"({ type hw; card "NoSuchCard" })");
    const auto file = m_sandbox.Path() / "alert.wav";
    ASSERT_TRUE(WriteWav(file, TestPattern()));

    ::testing::internal::CaptureStderr();
    std::atomic<int> returned = 0;
    std::thread player([&] {
        m_player.PlayFileSync(file);
        ++returned;
        m_player.PlayFileSync(m_sandbox.Path() / "missing.wav");
        ++returned;
    });
    const bool finished = zn::test::WaitFor([&] { return returned == 2; });
    const std::string noise = ::testing::internal::GetCapturedStderr();
    if (!finished) {
        player.detach();
        FAIL() << "playing without a device did not return";
    }
    player.join();
    EXPECT_EQ(noise, "");
}

TEST_F(SoundPlayerTest, ManyThreadsCanPlayAtOnce) {
    CaptureToFile();
    const Audio pattern = TestPattern();
    const auto file = m_sandbox.Path() / "alert.wav";
    ASSERT_TRUE(WriteWav(file, pattern));

    constexpr int kThreads = 4;
    std::atomic<int> returned = 0;
    std::vector<std::thread> players;
    for (int i = 0; i < kThreads; ++i) {
        players.emplace_back([&] {
            m_player.PlayFileSync(file);
            ++returned;
        });
    }
    const bool finished =
        zn::test::WaitFor([&] { return returned == kThreads; }, std::chrono::seconds(20));
    for (auto& player : players) {
        finished ? player.join() : player.detach();
    }
    ASSERT_TRUE(finished) << "concurrent calls did not all return";
    const auto played = ReadWav(Capture());
    ASSERT_TRUE(played);
    EXPECT_EQ(played->samples, pattern.samples) << "overlapping playbacks mixed their output";
}

TEST(PlaybackTurnsTest, ANewAlertCutsOffThePlayingOneAndWaitersThatWereOvertakenGiveUp) {
    zn::PlaybackTurns turns;
    auto playing = turns.Begin();
    ASSERT_TRUE(playing);
    EXPECT_FALSE(playing->IsCutOff());

    std::atomic<bool> overtakenPlayed = false;
    std::atomic<bool> overtakenReturned = false;
    bool latestPlayed = false;
    std::thread second([&] {
        overtakenPlayed = turns.Begin().has_value();
        overtakenReturned = true;
    });
    ASSERT_TRUE(zn::test::WaitFor([&] { return playing->IsCutOff(); }))
        << "the sound playing was not cut off";
    std::thread third([&] {
        const auto turn = turns.Begin();
        latestPlayed = turn && !turn->IsCutOff();
    });
    // The device is still taken: only being overtaken can end the second call's wait.
    const bool gaveUp = zn::test::WaitFor([&] { return overtakenReturned.load(); });

    playing.reset();  // the one cut off lets the device go
    second.join();
    third.join();
    EXPECT_TRUE(gaveUp) << "an alert overtaken while waiting kept waiting";
    EXPECT_FALSE(overtakenPlayed) << "an alert overtaken while waiting still played";
    EXPECT_TRUE(latestPlayed);
}

}  // namespace
