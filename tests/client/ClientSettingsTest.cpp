#include "client/ClientSettings.h"

#include <gtest/gtest.h>

#include "Sandbox.h"
#include "common/DefaultHosts.h"

namespace zn::client {
namespace {

using zn::test::Sandbox;
using zn::test::ScopedCurrentDirectory;

class ClientSettingsTest : public ::testing::Test {
protected:
    void WriteGameClient(std::string_view lines) {
        m_sandbox.WriteFile("gameclient.dat", "[PROFILE_QZ]\r\n" + std::string(lines));
    }
    void WriteBroadcastPort(std::string_view value) {
        m_sandbox.WriteFile("registry/HKEY_LOCAL_MACHINE.reg",
                            "Windows Registry Editor Version 5.00\r\n\r\n"
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Pexora\\ZentrovaClient]\r\n" +
                                std::string(value));
    }

    Sandbox m_sandbox;
    ScopedCurrentDirectory m_cwd{m_sandbox.Path()};
};

TEST_F(ClientSettingsTest, WithoutFilesEverySettingHasItsDefault) {
    EXPECT_EQ(ClientSettings::LocalPort(), 8004);
    EXPECT_EQ(ClientSettings::RemotePort(), 8001);
    EXPECT_EQ(ClientSettings::ProxyPort(), 8002);
    EXPECT_EQ(ClientSettings::CounterMode(), 0);
    EXPECT_EQ(ClientSettings::MainPage(), std::string(DefaultHosts::kShop) + "/wb/indexc.jsp");
    EXPECT_EQ(ClientSettings::Main(), "ZentrovaNubraClient_Murvel");
    EXPECT_EQ(ClientSettings::UpdateServerAddress(), DefaultHosts::kUpdateServer);
    EXPECT_EQ(ClientSettings::UpdateServerPath(), "Zentrova/NubraClient_Murvel/Update/");
    EXPECT_EQ(ClientSettings::ServerAddress(), "127.0.0.1");
    EXPECT_EQ(ClientSettings::BroadcastPort(), 9000);
}

TEST_F(ClientSettingsTest, PresentKeysWinOverDefaultsEvenWhenEmptyOrWithoutDigits) {
    WriteGameClient("LocalPort=abc\r\nRemotePort=8101x\r\nCounterMode=-1\r\nMainPage=\r\n");
    EXPECT_EQ(ClientSettings::LocalPort(), 0);
    EXPECT_EQ(ClientSettings::RemotePort(), 8101);
    EXPECT_EQ(ClientSettings::CounterMode(), 0);
    EXPECT_EQ(ClientSettings::MainPage(), "");
    EXPECT_EQ(ClientSettings::ProxyPort(), 8002);
}

TEST_F(ClientSettingsTest, WrittenServerAddressCreatesFileAndSectionAndIsReadBack) {
    ASSERT_TRUE(ClientSettings::WriteServerAddress("192.168.5.20"));
    EXPECT_EQ(ClientSettings::ServerAddress(), "192.168.5.20");
    const auto file = zn::test::ReadFile(m_sandbox.Path() / "serverip.ini");
    ASSERT_TRUE(file.has_value());
    EXPECT_NE(file->find("[PROFILE_QZ]"), std::string::npos);
    EXPECT_NE(file->find("ServerAddress=192.168.5.20"), std::string::npos);
}

TEST_F(ClientSettingsTest, BroadcastPortOfZeroOrMissingGivesDefault) {
    WriteBroadcastPort("\"BroadcastPort\"=dword:00000000\r\n");
    EXPECT_EQ(ClientSettings::BroadcastPort(), 9000);
    WriteBroadcastPort("\"Other\"=dword:00000001\r\n");
    EXPECT_EQ(ClientSettings::BroadcastPort(), 9000);
    WriteBroadcastPort("\"BroadcastPort\"=dword:0000238c\r\n");
    EXPECT_EQ(ClientSettings::BroadcastPort(), 9100);
}

}  // namespace
}  // namespace zn::client
