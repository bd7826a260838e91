// The files the tool writes, read by the console's own request service as after a seat's order.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <stdlib.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ConsoleFakes.h"
#include "FakeSeat.h"
#include "PartnerHost.h"
#include "PartnerSounds.h"
#include "Sandbox.h"
#include "WaitFor.h"
#include "config/AlertSound.h"
#include "config/NoticePage.h"
#include "console/ConsoleSettings.h"
#include "console/LoginState.h"
#include "console/RequestService.h"
#include "platform/Registry.h"
#include "platform/SoundPlayer.h"
#include "platform/WindowDirectory.h"

namespace zn::config {
namespace {

using console::test::Bytes;
using console::test::FakeSeat;
using zn::test::WaitFor;

std::optional<std::vector<std::int16_t>> DecodedSamples(const std::filesystem::path& file) {
    SF_INFO info{};
    SNDFILE* sound = sf_open(file.c_str(), SFM_READ, &info);
    if (!sound) {
        return std::nullopt;
    }
    std::vector<std::int16_t> samples(static_cast<std::size_t>(info.frames * info.channels));
    samples.resize(static_cast<std::size_t>(
        sf_read_short(sound, samples.data(), static_cast<sf_count_t>(samples.size()))));
    sf_close(sound);
    return samples;
}

class ConfigToConsoleTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto key = m_registry.CreateKey(RegistryRoot::LocalMachine, console::kConsoleKeyPath);
        ASSERT_TRUE(key);
        ASSERT_TRUE(key->SetDword("RemotePort", m_feedback.Port()));
        ASSERT_TRUE(key->SetString("LoginPage", "http://bo.test/murvel/loginsyt.jsp"));
        std::filesystem::create_directories(m_programFolder);
        m_login.RecordLogin("12");
    }

    // A seat's order, answered by the console as far as its alert sound.
    void Order(ISoundPlayer& sound) {
        console::RequestService service(console::RequestContext{
            m_registry, m_windows, m_login, m_uiThread.HandOver(), m_ui, sound, m_programFolder});
        ASSERT_TRUE(service.StartListener(0));
        FakeSeat seat;
        ASSERT_TRUE(seat.Connect(service.ListenerPort()));
        ASSERT_TRUE(seat.ReadGreeting());
        ASSERT_TRUE(seat.SendBody(Bytes(std::string("O4711") + '\0')));
        seat.socket.Close();
        ASSERT_TRUE(WaitFor([&] { return service.ActiveWorkers() == 0; }, std::chrono::seconds(10)))
            << "the console did not finish the order";
    }

    zn::test::Sandbox m_sandbox;
    std::filesystem::path m_programFolder = m_sandbox.Path() / "program";
    Registry m_registry{m_sandbox.RegistryFolder()};
    WindowDirectory m_windows{m_sandbox.RuntimeFolder()};
    console::LoginState m_login;
    console::test::FakeUiThread m_uiThread;
    console::test::FakeRequestUi m_ui;
    console::test::FeedbackPort m_feedback;
};

TEST_F(ConfigToConsoleTest, ANoticePageWrittenByTheToolIsWhatTheSeatReceives) {
    const auto page = m_programFolder / "RequestReceived.html";
    ASSERT_EQ(WriteNoticePage(page, NoticeChoice::OwnText, " 请到<b>3号</b>窗口取货 ", m_registry),
              NoticeWriteResult::Written);
    console::test::FakeSoundPlayer sound;

    Order(sound);

    ASSERT_TRUE(WaitFor([&] { return m_feedback.Pages().size() == 1; })) << "no notice page";
    const std::string written = zn::test::ReadFile(page).value_or("");
    EXPECT_EQ(m_feedback.Pages()[0], Bytes(written + '\0'));
    EXPECT_EQ(written, NoticePageBytes("请到<b>3号</b>窗口取货", true));
}

class AlsaCapture {
public:
    explicit AlsaCapture(const zn::test::Sandbox& sandbox) : m_file(sandbox.Path() / "played.wav") {
        const char* previous = getenv("ALSA_CONFIG_PATH");
        m_previous = previous ? std::optional<std::string>(previous) : std::nullopt;
        const auto config = sandbox.WriteFile(
            "asound.conf", R"(pcm.!default { type file; slave.pcm { type null }; file ")" +
                               m_file.string() + R"("; format "wav" })");
        setenv("ALSA_CONFIG_PATH", config.c_str(), 1);
    }
    ~AlsaCapture() {
        m_previous ? setenv("ALSA_CONFIG_PATH", m_previous->c_str(), 1)
                   : unsetenv("ALSA_CONFIG_PATH");
    }
    const std::filesystem::path& File() const { return m_file; }

private:
    std::filesystem::path m_file;
    std::optional<std::string> m_previous;
};

TEST_F(ConfigToConsoleTest, ASoundDownloadedByTheToolIsWhatTheConsolePlays) {
    test::PartnerHost partner;
    ASSERT_TRUE(partner.Started());
    ASSERT_GT(DownloadAlertSound(partner.Site(), "9tqa/sounds/rising.wav",
                                 m_programFolder / "NewRequestAlert.wav"),
              0u);
    const auto served = m_sandbox.WriteFile("served.wav", *webhost::PartnerSoundWav("rising.wav"));
    const auto expected = DecodedSamples(served);
    ASSERT_TRUE(expected && !expected->empty());

    AlsaCapture capture(m_sandbox);
    AlsaSoundPlayer player;
    Order(player);

    const auto played = DecodedSamples(capture.File());
    ASSERT_TRUE(played) << "the console played nothing";
    EXPECT_EQ(*played, *expected);
}

}  // namespace
}  // namespace zn::config
