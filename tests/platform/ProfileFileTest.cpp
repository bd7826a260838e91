#include "platform/ProfileFile.h"

#include <gtest/gtest.h>

#include <climits>
#include <thread>
#include <vector>

#include "Sandbox.h"

namespace zn {
namespace {

using test::ReadFile;
using test::Sandbox;
using test::ScopedCurrentDirectory;

constexpr std::string_view kSection = "PROFILE_QZ";

class ProfileFileTest : public ::testing::Test {
protected:
    void WriteProfile(std::string_view text) const { sandbox.WriteFile("gameclient.dat", text); }

    Sandbox sandbox;
    ScopedCurrentDirectory inSandbox{sandbox.Path()};
    const ProfileFile gameClient{"gameclient.dat"};
    const ProfileFile serverIp{"serverip.ini"};
};

TEST_F(ProfileFileTest, ReadsWithTheWin32Rules) {
    WriteProfile(
        "Orphan=1\r\n"
        "; comment\r\n"
        "[other]\r\n"
        "RemotePort=1\r\n"
        "[ profile_qz ]\r\n"
        "  remoteport   =   8005  \r\n"
        "MainPage=\"http://shop/wb/indexc.jsp\"\r\n"
        "Main=\"half\r\n"
        "RemotePort=9999\r\n");
    EXPECT_EQ(gameClient.GetInt(kSection, "RemotePort", 8001), 8005);
    EXPECT_EQ(gameClient.GetString(kSection, "mainpage", "x"), "http://shop/wb/indexc.jsp");
    EXPECT_EQ(gameClient.GetString(kSection, "Main", "x"), "\"half") << "quotes must match";
    EXPECT_EQ(gameClient.GetInt(kSection, "Orphan", 7), 7) << "a key before any section";
    EXPECT_EQ(gameClient.GetInt(kSection, "LocalPort", 8004), 8004);
    EXPECT_EQ(gameClient.GetString("NoSection", "Main", "dflt"), "dflt");
    EXPECT_EQ(serverIp.GetString(kSection, "ServerAddress", "127.0.0.1"), "127.0.0.1") << "no file";
}

TEST_F(ProfileFileTest, IntegersAreTheLeadingDigits) {
    WriteProfile(
        "[PROFILE_QZ]\n"
        "NoDigits=abc\n"
        "Negative=-5\n"
        "Mixed=12ab\n"
        "Empty=\n"
        "Quoted=\" 42\"\n"
        "Huge=99999999999999999999999\n");
    EXPECT_EQ(gameClient.GetInt(kSection, "NoDigits", 8004), 0) << "present, so not the default";
    EXPECT_EQ(gameClient.GetInt(kSection, "Negative", 8004), 0);
    EXPECT_EQ(gameClient.GetInt(kSection, "Mixed", 8004), 12);
    EXPECT_EQ(gameClient.GetInt(kSection, "Empty", 8004), 0);
    EXPECT_EQ(gameClient.GetInt(kSection, "Quoted", 8004), 42);
    EXPECT_EQ(gameClient.GetInt(kSection, "Huge", 8004), INT_MAX);
}

TEST_F(ProfileFileTest, TextsAreKeptEmptyAndCutTo259Bytes) {
    const std::string chinese = [] {
        std::string text;
        for (int i = 0; i < 100; ++i) {
            text += "网";  // 3 bytes each
        }
        return text;
    }();
    WriteProfile("[PROFILE_QZ]\nMainPage=\nLong=" + std::string(300, 'a') + "\nChinese=" + chinese +
                 "\n");
    EXPECT_EQ(gameClient.GetString(kSection, "MainPage", "http://default"), "");
    EXPECT_EQ(gameClient.GetString(kSection, "Long", ""), std::string(259, 'a'));
    EXPECT_EQ(gameClient.GetString(kSection, "Chinese", ""), chinese.substr(0, 86 * 3))
        << "cut before the character that would be split";
    EXPECT_EQ(gameClient.GetString(kSection, "Missing", std::string(300, 'd')),
              std::string(259, 'd'));
}

TEST_F(ProfileFileTest, WritingCreatesFileAndSection) {
    ASSERT_TRUE(serverIp.WriteString(kSection, "ServerAddress", "192.168.1.5"));
    EXPECT_EQ(ReadFile(sandbox.Path() / "serverip.ini"),
              "[PROFILE_QZ]\nServerAddress=192.168.1.5\n");
    EXPECT_EQ(serverIp.GetString(kSection, "ServerAddress", "127.0.0.1"), "192.168.1.5");

    ASSERT_TRUE(serverIp.WriteString("profile_qz", "serveraddress", "counter-pc"));
    EXPECT_EQ(ReadFile(sandbox.Path() / "serverip.ini"), "[PROFILE_QZ]\nServerAddress=counter-pc\n")
        << "the stored names are kept";
}

TEST_F(ProfileFileTest, WritingKeepsEveryOtherLine) {
    WriteProfile(
        "; seat 12\r\n"
        "[PROFILE_QZ]\r\n"
        "LocalPort = 8004\r\n"
        "MainPage=http://shop\r\n"
        "\r\n"
        "[Other]\r\n"
        "Key=Value");
    ASSERT_TRUE(gameClient.WriteString(kSection, "MainPage", "http://new"));
    ASSERT_TRUE(gameClient.WriteString(kSection, "CounterMode", "1"));
    ASSERT_TRUE(gameClient.WriteString("Third", "A", "b"));
    EXPECT_EQ(ReadFile(sandbox.Path() / "gameclient.dat"),
              "; seat 12\r\n"
              "[PROFILE_QZ]\r\n"
              "LocalPort = 8004\r\n"
              "MainPage=http://new\r\n"
              "CounterMode=1\r\n"
              "\r\n"
              "[Other]\r\n"
              "Key=Value\r\n"
              "[Third]\r\n"
              "A=b\r\n");
}

TEST_F(ProfileFileTest, RelativePathsFollowTheCurrentDirectory) {
    ASSERT_TRUE(serverIp.WriteString(kSection, "ServerAddress", "10.0.0.1"));
    std::filesystem::create_directories(sandbox.Path() / "elsewhere");
    {
        ScopedCurrentDirectory elsewhere(sandbox.Path() / "elsewhere");
        EXPECT_EQ(serverIp.GetString(kSection, "ServerAddress", "127.0.0.1"), "127.0.0.1");
        ASSERT_TRUE(serverIp.WriteString(kSection, "ServerAddress", "10.0.0.2"));
    }
    EXPECT_EQ(serverIp.GetString(kSection, "ServerAddress", "127.0.0.1"), "10.0.0.1");
    EXPECT_TRUE(std::filesystem::exists(sandbox.Path() / "elsewhere" / "serverip.ini"));
}

TEST_F(ProfileFileTest, WritesThatWouldBreakTheFormatAreRefused) {
    WriteProfile("[PROFILE_QZ]\nServerAddress=1.2.3.4\n");
    const auto before = ReadFile(sandbox.Path() / "gameclient.dat");
    EXPECT_FALSE(gameClient.WriteString(kSection, "ServerAddress", "x\n[PROFILE_QZ]\nMain=evil"));
    EXPECT_FALSE(gameClient.WriteString(kSection, "ServerAddress", "x\ry"));
    EXPECT_FALSE(gameClient.WriteString(kSection, "ServerAddress", std::string("x\0y", 3)));
    EXPECT_FALSE(gameClient.WriteString(kSection, "Main=Evil", "x"));
    EXPECT_FALSE(gameClient.WriteString(kSection, "  ", "x"));
    EXPECT_FALSE(gameClient.WriteString(kSection, "[Evil]", "x"));
    EXPECT_FALSE(gameClient.WriteString("A]B", "Key", "x"));
    EXPECT_FALSE(gameClient.WriteString(kSection, "Big", std::string(1024 * 1024, 'x')))
        << "the file would pass the size that is read";
    EXPECT_EQ(ReadFile(sandbox.Path() / "gameclient.dat"), before);
    EXPECT_FALSE(ProfileFile("missing/serverip.ini").WriteString(kSection, "ServerAddress", "x"));
    EXPECT_FALSE(std::filesystem::exists(sandbox.Path() / "missing"));
}

TEST_F(ProfileFileTest, HostileFilesGiveDefaultsAndAreLeftAlone) {
    const std::vector<std::string> files = {
        "[PROFILE_QZ]\nLocalPort=1\n; " + std::string(1024 * 1024, 'x') + "\n",
        "[PROFILE_QZ]\nLocalPort=1\n" + std::string(1, '\0') + "\xff\xfe",
    };
    for (const auto& stored : files) {
        WriteProfile(stored);
        EXPECT_EQ(gameClient.GetInt(kSection, "LocalPort", 8004), 8004);
        EXPECT_EQ(gameClient.GetString(kSection, "LocalPort", "d"), "d");
        EXPECT_FALSE(gameClient.WriteString(kSection, "LocalPort", "2"));
        EXPECT_EQ(ReadFile(sandbox.Path() / "gameclient.dat"), stored);
    }
    std::filesystem::remove(sandbox.Path() / "gameclient.dat");
    std::filesystem::create_directories(sandbox.Path() / "gameclient.dat");
    EXPECT_EQ(gameClient.GetInt(kSection, "LocalPort", 8004), 8004);
    EXPECT_FALSE(gameClient.WriteString(kSection, "LocalPort", "2"));
}

TEST_F(ProfileFileTest, ConcurrentWritersLoseNothing) {
    std::vector<std::thread> writers;
    for (int writer = 0; writer < 4; ++writer) {
        writers.emplace_back([this, writer] {
            for (int i = 0; i < 10; ++i) {
                const std::string key = "K" + std::to_string(writer) + "_" + std::to_string(i);
                EXPECT_TRUE(serverIp.WriteString(kSection, key, std::to_string(i)));
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    for (int writer = 0; writer < 4; ++writer) {
        for (int i = 0; i < 10; ++i) {
            const std::string key = "K" + std::to_string(writer) + "_" + std::to_string(i);
            EXPECT_EQ(serverIp.GetInt(kSection, key, -1), i) << key;
        }
    }
}

}  // namespace
}  // namespace zn
