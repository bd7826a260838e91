#include "console/ConsoleSettings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "Sandbox.h"
#include "common/DefaultHosts.h"
#include "platform/Registry.h"

namespace zn::console {
namespace {

class ConsoleSettingsTest : public ::testing::Test {
protected:
    RegistryKey Key() {
        auto key = registry.CreateKey(RegistryRoot::LocalMachine, kConsoleKeyPath);
        EXPECT_TRUE(key.has_value()) << "the console key could not be created";
        return *key;
    }

    void ExpectAllDefaults() const {
        const std::string host = DefaultHosts::kBackOffice;
        EXPECT_EQ(settings.LocalPort(), 8001u);
        EXPECT_EQ(settings.RemotePort(), 8004u);
        EXPECT_EQ(settings.BroadcastPort(), 9000u);
        EXPECT_EQ(settings.ProxyConfigPort(), 8002u);
        EXPECT_EQ(settings.LoginPage(), host + "/wb/loginsyt.jsp");
        EXPECT_EQ(settings.MainPageMurvel(), host + "/wb/loginsyt.jsp");
        EXPECT_EQ(settings.ViewTransPageMurvel(), host + "/jsp/empManage/noProcessInfo.jsp");
        EXPECT_EQ(settings.TransactionDone1Murvel(), host + "/wb/send_trans_success.jsp");
        EXPECT_EQ(settings.TransactionDone2Murvel(), host + "/wb/send_trans_fail.jsp");
        EXPECT_EQ(settings.TransactionCancelMurvel(), "") << "a back office may have no such page";
        EXPECT_EQ(settings.UpdateServerAddress(), DefaultHosts::kUpdateServer);
        EXPECT_EQ(settings.UpdateServerPath(), "Zentrova/NubraServer/Update/");
        EXPECT_EQ(settings.Launch(), "LaunchNubraServer");
    }

    test::Sandbox sandbox;
    Registry registry{sandbox.RegistryFolder()};
    ConsoleSettings settings{registry};
};

TEST_F(ConsoleSettingsTest, NoKeyGivesEveryDefault) {
    ExpectAllDefaults();
    EXPECT_EQ(settings.StoredLoginPage(), std::nullopt);
    EXPECT_EQ(std::string(DefaultHosts::kBackOffice).rfind("http://127.0.0.1", 0), 0u);
}

TEST_F(ConsoleSettingsTest, StoredNumbersAreUsedAndZeroGivesTheDefault) {
    const RegistryKey key = Key();
    ASSERT_TRUE(key.SetDword("LocalPort", 0));
    ASSERT_TRUE(key.SetDword("RemotePort", 8123));
    ASSERT_TRUE(key.SetString("BroadcastPort", "9100"));  // wrong type: unreadable
    EXPECT_EQ(settings.LocalPort(), 8001u);
    EXPECT_EQ(settings.RemotePort(), 8123u);
    EXPECT_EQ(settings.BroadcastPort(), 9000u);

    // Never cached: the next read sees the change.
    ASSERT_TRUE(key.SetDword("LocalPort", 8111));
    EXPECT_EQ(settings.LocalPort(), 8111u);
}

TEST_F(ConsoleSettingsTest, TextsLongerThanTheirBufferGiveTheDefault) {
    const RegistryKey key = Key();
    const std::string host = DefaultHosts::kBackOffice;
    ASSERT_TRUE(key.SetString("LoginPage", std::string(300, 'a')));
    EXPECT_EQ(settings.LoginPage(), host + "/wb/loginsyt.jsp");
    EXPECT_EQ(settings.StoredLoginPage(), std::nullopt);

    ASSERT_TRUE(key.SetString("LoginPage", std::string(259, 'a')));
    EXPECT_EQ(settings.LoginPage(), std::string(259, 'a'));
    EXPECT_EQ(settings.StoredLoginPage(), std::string(259, 'a'));
}

TEST_F(ConsoleSettingsTest, TextRules) {
    const RegistryKey key = Key();
    ASSERT_TRUE(key.SetString("UpdateServerPath", "Some/Path"));
    EXPECT_EQ(settings.UpdateServerPath(), "Some/Path/");
    ASSERT_TRUE(key.SetString("UpdateServerPath", "Some/Path/"));
    EXPECT_EQ(settings.UpdateServerPath(), "Some/Path/");
    ASSERT_TRUE(key.SetString("UpdateServerPath", ""));
    EXPECT_EQ(settings.UpdateServerPath(), "/");

    ASSERT_TRUE(key.SetString("Launch", ""));
    EXPECT_EQ(settings.Launch(), "LaunchNubraServer");
    ASSERT_TRUE(key.SetString("Launch", "MyLauncher"));
    EXPECT_EQ(settings.Launch(), "MyLauncher");

    // Other texts are used as stored, an empty one included.
    ASSERT_TRUE(key.SetString("LoginPage", ""));
    EXPECT_EQ(settings.LoginPage(), "");
    ASSERT_TRUE(key.SetString("UpdateServerAddress", "updates.local"));
    EXPECT_EQ(settings.UpdateServerAddress(), "updates.local");
}

TEST_F(ConsoleSettingsTest, BrokenRegistryFilesGiveTheDefaults) {
    const auto file = registry.FileOf(RegistryRoot::LocalMachine);
    std::filesystem::create_directories(file.parent_path());

    {
        std::ofstream out(file, std::ios::binary);
        out << "Windows Registry Editor Version 5.00\r\n\r\n"
               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Pexora\\ZentrovaConsole]\r\n"
               "\"LocalPort\"=dword:zz\r\n\"LoginPage\"=\"unterminated\r\n\x01\x02[[[\r\n";
    }
    ExpectAllDefaults();

    {
        // Far larger than any registry the programs write.
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << "Windows Registry Editor Version 5.00\r\n\r\n"
               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Pexora\\ZentrovaConsole]\r\n\"LoginPage\"=\"";
        out << std::string(64 * 1024 * 1024, 'a') << "\"\r\n";
    }
    ExpectAllDefaults();

    std::filesystem::remove(file);
    std::filesystem::create_directory(file);  // cannot be read as a file
    ExpectAllDefaults();
}

}  // namespace
}  // namespace zn::console
