#include "config/AlertSound.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "LogCapture.h"
#include "PartnerHost.h"
#include "PartnerSounds.h"
#include "RawHttpServer.h"
#include "Sandbox.h"

namespace zn::config {
namespace {

using test::SiteAt;
using zn::test::HttpAnswer;
using zn::test::RawHttpServer;

class AlertSoundTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_partner.Started()) << "the partner host did not start"; }

    std::string Sound() const { return zn::test::ReadFile(m_sound).value_or("<none>"); }
    std::size_t FilesInFolder() const {
        return static_cast<std::size_t>(
            std::distance(std::filesystem::directory_iterator(m_sound.parent_path()), {}));
    }

    zn::test::Sandbox m_sandbox;
    const std::string m_oldSound = *webhost::PartnerSoundWav("beeps.wav");
    std::filesystem::path m_sound = m_sandbox.WriteFile("program/NewRequestAlert.wav", m_oldSound);
    test::PartnerHost m_partner;
    PartnerSite m_site = m_partner.Site();
};

TEST_F(AlertSoundTest, ASoundOfThePartnerReplacesTheAlertSound) {
    const std::string chime = *webhost::PartnerSoundWav("dingdong.wav");
    ASSERT_NE(chime, m_oldSound);
    EXPECT_EQ(DownloadAlertSound(m_site, "9tqa/sounds/dingdong.wav", m_sound), chime.size());
    EXPECT_EQ(Sound(), chime);

    // As a page would more likely write it, from the root.
    const std::string rising = *webhost::PartnerSoundWav("rising.wav");
    EXPECT_EQ(DownloadAlertSound(m_site, "/9tqa/sounds/rising.wav", m_sound), rising.size());
    EXPECT_EQ(Sound(), rising);
    EXPECT_EQ(FilesInFolder(), 1u);
}

TEST_F(AlertSoundTest, AFailedDownloadKeepsTheOldSound) {
    zn::test::LogCapture log;
    EXPECT_EQ(DownloadAlertSound(m_site, "9tqa/sounds/none.wav", m_sound), 0u) << "404";

    // Served whole, but no sound: the counter would play the default beep from now on.
    EXPECT_EQ(DownloadAlertSound(m_site, "wb/notice.html", m_sound), 0u);
    EXPECT_TRUE(log.Contains({"cannot be played"}));

    m_partner.Stop();
    EXPECT_EQ(DownloadAlertSound(m_site, "9tqa/sounds/dingdong.wav", m_sound), 0u) << "host down";

    EXPECT_EQ(Sound(), m_oldSound);
    EXPECT_EQ(FilesInFolder(), 1u) << "a temporary file was left";
}

TEST_F(AlertSoundTest, ASoundOverTheBoundIsRefusedUnread) {
    const std::string length = std::to_string(kMaxAlertSoundBytes + 1);
    RawHttpServer server(HttpAnswer("200 OK", "Content-Length: " + length + "\r\n", "RIFF"));
    zn::test::LogCapture log;
    EXPECT_EQ(DownloadAlertSound(SiteAt(server.Port()), "big.wav", m_sound), 0u);
    EXPECT_TRUE(log.Contains({"Refused a download of", length}));
    EXPECT_EQ(Sound(), m_oldSound);
}

TEST_F(AlertSoundTest, HostileSoundPathsAreRefusedBeforeAnyRequest) {
    RawHttpServer server(HttpAnswer("200 OK", "Content-Length: 4\r\n", "RIFF"));
    const std::string tooLong(kMaxSoundPathBytes + 1, 'a');
    std::string tooLongInGbk;
    for (std::size_t i = 0; i < kMaxSoundPathBytes / 2 + 1; ++i) {
        tooLongInGbk += "声";  // two bytes each in code page 936
    }
    const std::string hostile[] = {
        "",
        "/",
        "http://evil.test/x.wav",
        "//evil.test/x.wav",
        "evil.test:80/x.wav",
        "../x.wav",
        "sounds/../../x.wav",
        "sounds/./x.wav",
        "x.wav#top",
        "x.aspx?id=3#top",
        "ding\U0001F514.wav",  // outside code page 936: it would be asked for as "ding?.wav"
        "sounds\\x.wav",
        "x.wav\r\nHost: evil.test",
        std::string("x.wav\0y", 7),
        tooLong,
        tooLongInGbk,
    };
    for (const std::string& path : hostile) {
        EXPECT_EQ(SoundObjectPath(path), std::nullopt) << path.substr(0, 40);
        EXPECT_EQ(DownloadAlertSound(SiteAt(server.Port()), path, m_sound), 0u);
    }
    EXPECT_EQ(server.Connections(), 0);
    EXPECT_EQ(Sound(), m_oldSound);
}

TEST_F(AlertSoundTest, ASoundPathIsAskedForInCodePage936) {
    std::string longest;
    for (std::size_t i = 0; i < kMaxSoundPathBytes / 2; ++i) {
        longest += "声";
    }
    EXPECT_EQ(SoundObjectPath(longest)->size(), kMaxSoundPathBytes - 1);
    EXPECT_EQ(SoundObjectPath("/9tqa/叮咚 1.wav"), "9tqa/\xb6\xa3\xdf\xcb 1.wav");

    // A trail byte of 0x5C is part of its character, not a backslash.
    EXPECT_EQ(SoundObjectPath("9tqa/刓.wav"), "9tqa/\x84\x5c.wav");

    RawHttpServer server(HttpAnswer("404 Not Found", "Content-Length: 0\r\n", ""));
    EXPECT_EQ(DownloadAlertSound(SiteAt(server.Port()), "/9tqa/叮咚 1.wav", m_sound), 0u);
    EXPECT_TRUE(server.LastRequest().starts_with("GET /9tqa/%B6%A3%DF%CB%201.wav HTTP/1.1\r\n"))
        << server.LastRequest();
    // The partner's own sound pages may pick a sound by query.
    EXPECT_EQ(DownloadAlertSound(SiteAt(server.Port()), "9tqa/sound.aspx?id=3&名=叮%20咚", m_sound),
              0u);
    EXPECT_TRUE(server.LastRequest().starts_with(
        "GET /9tqa/sound.aspx?id=3&%C3%FB=%B6%A3%20%DF%CB HTTP/1.1\r\n"))
        << server.LastRequest();
}

}  // namespace
}  // namespace zn::config
