#include "client/ClientSettings.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "LogCapture.h"
#include "Sandbox.h"
#include "common/DefaultHosts.h"
#include "platform/Registry.h"

namespace zn::client {
namespace {

using zn::test::Sandbox;

class ClientSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(m_sandbox.Path() / "seat"); }
    void WriteGameClient(std::string_view lines) {
        m_sandbox.WriteFile("seat/gameclient.dat", "[PROFILE_QZ]\r\n" + std::string(lines));
    }
    void WriteBroadcastPort(std::string_view value) {
        m_sandbox.WriteFile("registry/HKEY_LOCAL_MACHINE.reg",
                            "Windows Registry Editor Version 5.00\r\n\r\n"
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Pexora\\ZentrovaClient]\r\n" +
                                std::string(value));
    }

    Sandbox m_sandbox;
    Registry m_registry{m_sandbox.RegistryFolder()};
    // The working folder is handed in: the process's own current directory plays no part.
    ClientSettings m_settings{m_registry, m_sandbox.Path() / "seat"};
};

TEST_F(ClientSettingsTest, WithoutFilesEverySettingHasItsDefault) {
    EXPECT_EQ(m_settings.LocalPort(), 8004);
    EXPECT_EQ(m_settings.RemotePort(), 8001);
    EXPECT_EQ(m_settings.ProxyPort(), 8002);
    EXPECT_EQ(m_settings.CounterMode(), 0);
    EXPECT_EQ(m_settings.MainPage(), std::string(DefaultHosts::kShop) + "/wb/indexc.jsp");
    EXPECT_EQ(m_settings.Main(), "ZentrovaNubraClient_Murvel");
    EXPECT_EQ(m_settings.UpdateServerAddress(), DefaultHosts::kUpdateServer);
    EXPECT_EQ(m_settings.UpdateServerPath(), "Zentrova/NubraClient_Murvel/Update/");
    EXPECT_EQ(m_settings.ShopDomain(), ZN_SHOP_DOMAIN);
    EXPECT_EQ(m_settings.ServerAddress(), "127.0.0.1");
    EXPECT_EQ(m_settings.BroadcastPort(), 9000);
}

TEST_F(ClientSettingsTest, PresentKeysWinOverDefaultsEvenWhenEmptyOrWithoutDigits) {
    WriteGameClient(
        "LocalPort=abc\r\nRemotePort=8101x\r\nCounterMode=-1\r\nMainPage=\r\n"
        "ShopDomain=shop.cafe.example\r\n");
    EXPECT_EQ(m_settings.LocalPort(), 0);
    EXPECT_EQ(m_settings.RemotePort(), 8101);
    EXPECT_EQ(m_settings.CounterMode(), 0);
    EXPECT_EQ(m_settings.MainPage(), "");
    EXPECT_EQ(m_settings.ProxyPort(), 8002);
    EXPECT_EQ(m_settings.ShopDomain(), "shop.cafe.example");
}

// Most readers kept the low 16 bits of such a number (70000 became 4464), while "LocalPort"
// refused it and ended the seat: every port now takes its default, and says so.
TEST_F(ClientSettingsTest, APortPastTheSixteenBitRangeGivesTheDefault) {
    zn::test::LogCapture log;
    WriteGameClient("LocalPort=70000\r\nRemotePort=65535\r\nProxyPort=65536\r\n");
    WriteBroadcastPort("\"BroadcastPort\"=dword:00011171\r\n");
    EXPECT_EQ(m_settings.LocalPort(), 8004);
    EXPECT_EQ(m_settings.RemotePort(), 65535);
    EXPECT_EQ(m_settings.ProxyPort(), 8002);
    EXPECT_EQ(m_settings.BroadcastPort(), 9000);
    EXPECT_TRUE(log.Contains({"LocalPort", "70000", "8004"}));
}

TEST_F(ClientSettingsTest, WrittenServerAddressCreatesFileAndSectionAndIsReadBack) {
    ASSERT_TRUE(m_settings.WriteServerAddress("192.168.5.20"));
    EXPECT_EQ(m_settings.ServerAddress(), "192.168.5.20");
    const auto file = zn::test::ReadFile(m_sandbox.Path() / "seat" / "serverip.ini");
    ASSERT_TRUE(file.has_value());
    EXPECT_NE(file->find("[PROFILE_QZ]"), std::string::npos);
    EXPECT_NE(file->find("ServerAddress=192.168.5.20"), std::string::npos);
}

// At a packaged seat "serverip.ini" is the administrator's: a corrected or discovered address
// still counts for this run, and the failed save is logged.
TEST_F(ClientSettingsTest, AnAddressThatCannotBeSavedHoldsForThisRunAndIsLogged) {
    const zn::test::LogCapture log;
    // Unwritable even for root, whom the test may run as.
    std::filesystem::create_directories(m_sandbox.Path() / "seat" / "serverip.ini");
    EXPECT_FALSE(m_settings.WriteServerAddress("192.168.5.21"));
    EXPECT_EQ(m_settings.ServerAddress(), "192.168.5.21");
    EXPECT_TRUE(log.Contains({"192.168.5.21", "cannot be saved"}));
}

TEST_F(ClientSettingsTest, BroadcastPortOfZeroOrMissingGivesDefault) {
    WriteBroadcastPort("\"BroadcastPort\"=dword:00000000\r\n");
    EXPECT_EQ(m_settings.BroadcastPort(), 9000);
    WriteBroadcastPort("\"Other\"=dword:00000001\r\n");
    EXPECT_EQ(m_settings.BroadcastPort(), 9000);
    WriteBroadcastPort("\"BroadcastPort\"=dword:0000238c\r\n");
    EXPECT_EQ(m_settings.BroadcastPort(), 9100);
}

}  // namespace
}  // namespace zn::client
