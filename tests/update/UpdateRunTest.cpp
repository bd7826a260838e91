#include <gtest/gtest.h>

#include <chrono>

#include "FakeServices.h"
#include "LogCapture.h"
#include "RawHttpServer.h"
#include "Sandbox.h"
#include "WebHost.h"
#include "update/UpdateRun.h"

namespace zn {
namespace {

using Strings = std::vector<std::string>;

constexpr const char* kConsolePath = "Zentrova/NubraServer/Update/";
constexpr const char* kClientPath = "Zentrova/NubraClient_Murvel/Update/";

// The local web host serving the releases of a sandbox folder; the console and the launcher of
// the test live in the sandbox's "program" folder.
class UpdateRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        webhost::WebHostConfig config;
        config.releasesFolder = m_sandbox.Path() / "releases";
        config.logRequests = false;
        m_host = std::make_unique<webhost::WebHost>(config);
        const auto port = m_host->Start(0);
        ASSERT_TRUE(port);
        m_port = *port;
        std::filesystem::create_directories(Program());
    }

    std::filesystem::path Program() const { return m_sandbox.Path() / "program"; }

    void Publish(const std::string& path, const std::string& content) const {
        m_sandbox.WriteFile("releases/" + path, content);
    }

    // A console release of modules A, B, C (files "<name>.txt" with the given text), each copied
    // to "Deployed/<name>.txt", with credentials and the host's port for the module files.
    void PublishConsoleRelease(const std::string& stamp, const std::string& text) const {
        std::string manifest =
            "<?xml version=\"1.0\"?><R><Version_File Update=\"" + stamp +
            "\" Container=\"files/\" UserName=\"nubra\" Password=\"pw\" Port=\"" +
            std::to_string(m_port) + "\"/>";
        for (const std::string name : {"A", "B", "C"}) {
            manifest += "<Module ModuleName=\"" + name + "\" ModulePath=\"m\\" + name +
                        ".txt\" Update=\"" + stamp + "\" CopyTo=\"Deployed\\" + name + ".txt\"/>";
            Publish(std::string(kConsolePath) + "files/m/" + name + ".txt", text + name);
        }
        manifest +=
            "<Finalize Action=\"Misc\"><Registry Path=\"HKEY_CURRENT_USER\\Software\\Z\" "
            "Name=\"Release\" Value=\"" +
            stamp + "\"/></Finalize></R>";
        Publish(std::string(kConsolePath) + "ContentUpdate.xml", manifest);
    }

    UpdateSite Site(const char* path) const { return {"127.0.0.1", m_port, path, {}}; }

    UpdateResult RunConsole() { return RunContentUpdate(Site(kConsolePath), m_deployment); }

    std::optional<std::string> DeployedRelease() const {
        const auto key = m_registry.OpenKey(RegistryRoot::CurrentUser, "Software\\Z");
        return key ? key->QueryString("Release") : std::nullopt;
    }

    test::Sandbox m_sandbox;
    std::unique_ptr<webhost::WebHost> m_host;
    int m_port = 0;
    Registry m_registry{m_sandbox.RegistryFolder()};
    test::FakeServices m_services;
    DeploymentContext m_deployment{m_sandbox.Path() / "program",
                                   m_registry,
                                   m_services,
                                   m_sandbox.DriveC() / "update.txt",
                                   {}};
};

TEST_F(UpdateRunTest, ContentUpdateFetchesRecordsAndDeploysANewRelease) {
    PublishConsoleRelease("2024-03-01 09:00:00", "v1 ");
    EXPECT_EQ(RunConsole(), UpdateResult::Updated);
    for (const std::string name : {"A", "B", "C"}) {
        EXPECT_EQ(test::ReadFile(Program() / "Content/m" / (name + ".txt")), "v1 " + name);
        EXPECT_EQ(test::ReadFile(Program() / "Deployed" / (name + ".txt")), "v1 " + name);
    }
    EXPECT_EQ(DeployedRelease(), "2024-03-01 09:00:00");
    const auto saved = test::ReadFile(Program() / "ContentUpdate.xml");
    ASSERT_TRUE(saved);
    EXPECT_TRUE(saved->starts_with("<?xml version=\"1.0\"?><R><Version_File Update=\"2024-03-01"))
        << *saved;

    // The same release again: only the manifest is fetched (the module files are gone).
    std::filesystem::remove_all(m_sandbox.Path() / "releases" / kConsolePath / "files");
    EXPECT_EQ(RunConsole(), UpdateResult::Current);
}

TEST_F(UpdateRunTest, ANewerReleaseWithoutModulesStillRunsItsScript) {
    m_sandbox.WriteFile("program/ContentUpdate.xml",
                        "<R><Version_File Update=\"2024-01-01\"/></R>");
    Publish(std::string(kConsolePath) + "ContentUpdate.xml",
            "<R><Version_File Update=\"2024-02-01\"/><Initialize Action=\"Misc\"><Registry "
            "Path=\"HKEY_CURRENT_USER\\Software\\Z\" Name=\"Release\" "
            "Value=\"feb\"/></Initialize></R>");
    EXPECT_EQ(RunConsole(), UpdateResult::Updated);
    EXPECT_EQ(DeployedRelease(), "feb");
}

TEST_F(UpdateRunTest, OneFailedModuleRecordsNothingAndTheNextRunFetchesAllAgain) {
    PublishConsoleRelease("2024-03-01 09:00:00", "v1 ");
    std::filesystem::remove(m_sandbox.Path() / "releases" / kConsolePath / "files/m/B.txt");
    EXPECT_EQ(RunConsole(), UpdateResult::ModuleNotFetched);
    EXPECT_EQ(test::ReadFile(Program() / "Content/m/A.txt"), "v1 A");
    EXPECT_EQ(test::ReadFile(Program() / "Content/m/C.txt"), "v1 C");
    EXPECT_FALSE(std::filesystem::exists(Program() / "ContentUpdate.xml"));
    EXPECT_FALSE(DeployedRelease());

    PublishConsoleRelease("2024-03-01 09:00:00", "v1b ");
    EXPECT_EQ(RunConsole(), UpdateResult::Updated);
    EXPECT_EQ(test::ReadFile(Program() / "Content/m/A.txt"), "v1b A");
    EXPECT_EQ(test::ReadFile(Program() / "Deployed/B.txt"), "v1b B");
}

TEST_F(UpdateRunTest, ManifestFailuresEndTheRun) {
    EXPECT_EQ(RunConsole(), UpdateResult::ManifestNotFetched);
    Publish(std::string(kConsolePath) + "ContentUpdate.xml", "<R><Version_File");
    EXPECT_EQ(RunConsole(), UpdateResult::ManifestNotParsed);
    PublishConsoleRelease("2024-03-01 09:00:00", "v1 ");
    // The console takes its address as a host name, so a port in it reaches no server.
    const UpdateSite withPort{"127.0.0.1:" + std::to_string(m_port), 80, kConsolePath, {}};
    EXPECT_EQ(RunContentUpdate(withPort, m_deployment), UpdateResult::ManifestNotFetched);
}

TEST_F(UpdateRunTest, ModulePathsLeavingTheirFoldersFailTheRun) {
    const std::string header =
        "<R><Version_File Update=\"2024-03-01\" Port=\"" + std::to_string(m_port) + "\"/>";
    Publish(std::string(kConsolePath) + "escape.txt", "escape");
    Publish(
        std::string(kConsolePath) + "ContentUpdate.xml",
        header + "<Module ModuleName=\"X\" ModulePath=\"..\\..\\escape.txt\" CopyTo=\"x\"/></R>");
    test::LogCapture log;
    EXPECT_EQ(RunConsole(), UpdateResult::ModuleNotFetched);
    EXPECT_FALSE(std::filesystem::exists(m_sandbox.Path() / "escape.txt"));
    EXPECT_TRUE(log.Contains({"Refused the manifest path", "escape.txt"}));

    Publish(std::string(kConsolePath) + "ContentUpdate.xml",
            header + "<Module ModuleName=\"X\" ModulePath=\"x.txt\" CopyTo=\"../../x.txt\"/></R>");
    Publish(std::string(kConsolePath) + "x.txt", "x");
    EXPECT_EQ(RunConsole(), UpdateResult::ModuleNotFetched);
    EXPECT_FALSE(std::filesystem::exists(Program() / "ContentUpdate.xml"));
}

TEST_F(UpdateRunTest, ModuleFilesComeFromTheSitePortWhenTheManifestNamesNone) {
    Publish(std::string(kConsolePath) + "ContentUpdate.xml",
            "<R><Version_File Update=\"2024-03-01\"/><Module ModuleName=\"N\" ModulePath=\"n.txt\" "
            "CopyTo=\"n.txt\"/></R>");
    Publish(std::string(kConsolePath) + "n.txt", "notice");
    EXPECT_EQ(RunConsole(), UpdateResult::Updated);
    EXPECT_EQ(test::ReadFile(Program() / "n.txt"), "notice");
}

TEST_F(UpdateRunTest, VersionCheckReportsOnlyANewerServerRelease) {
    Publish(std::string(kConsolePath) + "Version.xml",
            "<R><Version_File Update=\"2024-03-01\"/></R>");
    EXPECT_TRUE(CheckForNewVersion(Site(kConsolePath), Program()));
    m_sandbox.WriteFile("program/Version.xml", "<R><Version_File Update=\"2024-02-01\"/></R>");
    EXPECT_TRUE(CheckForNewVersion(Site(kConsolePath), Program()));
    m_sandbox.WriteFile("program/Version.xml", "<R><Version_File Update=\"2024-03-01\"/></R>");
    EXPECT_FALSE(CheckForNewVersion(Site(kConsolePath), Program()));
    EXPECT_FALSE(CheckForNewVersion(Site("Zentrova/Missing/"), Program()));
}

TEST(LauncherAddressTest, SplitsAPortAfterTheFirstCharacter) {
    EXPECT_EQ(SplitLauncherAddress("update.local:8080").host, "update.local");
    EXPECT_EQ(SplitLauncherAddress("update.local:8080").port, 8080);
    EXPECT_EQ(SplitLauncherAddress("update.local").port, 80);
    EXPECT_EQ(SplitLauncherAddress("update.local:0").port, 80);
    EXPECT_EQ(SplitLauncherAddress("update.local:http").port, 80);
    EXPECT_EQ(SplitLauncherAddress(":8080").host, ":8080");
    EXPECT_EQ(SplitLauncherAddress(":8080").port, 80);
}

class LauncherUpdateTest : public UpdateRunTest {
protected:
    UpdateResult RunLauncher(const std::string& address) {
        const HostAndPort server = SplitLauncherAddress(address);
        const UpdateSite site{server.host, server.port, kClientPath, {}};
        return RunLauncherUpdate(site, Program(),
                                 [this](std::string_view text) { m_shown.emplace_back(text); });
    }
    std::string Address() const { return "127.0.0.1:" + std::to_string(m_port); }

    Strings m_shown;
};

TEST_F(LauncherUpdateTest, FetchesTheClientReleaseWithItsTexts) {
    Publish(std::string(kClientPath) + "Version.xml",
            "<R><Version_File Update=\"2024-03-01\" Container=\"files/\" UserName=\"seat\" "
            "Password=\"pw\"/><Module ModuleName=\"Skin\" ModulePath=\"skin\\seat.css\" "
            "Update=\"2024-03-01\"/></R>");
    Publish(std::string(kClientPath) + "files/skin/seat.css", "body{}");
    EXPECT_EQ(RunLauncher(Address()), UpdateResult::Updated);
    EXPECT_EQ(m_shown, (Strings{std::string(kProgressChecking), std::string(kProgressDownloading),
                                std::string(kProgressDeploying)}));
    EXPECT_EQ(test::ReadFile(Program() / "Content/skin/seat.css"), "body{}");

    m_shown.clear();
    EXPECT_EQ(RunLauncher(Address()), UpdateResult::Current);
    EXPECT_EQ(m_shown, (Strings{std::string(kProgressChecking)}));
}

TEST_F(LauncherUpdateTest, FailuresShowTheirTexts) {
    EXPECT_EQ(RunLauncher(Address()), UpdateResult::ManifestNotFetched);
    EXPECT_EQ(m_shown.back(), kProgressNoServer);
    Publish(std::string(kClientPath) + "Version.xml", "not xml");
    EXPECT_EQ(RunLauncher(Address()), UpdateResult::ManifestNotParsed);
    EXPECT_EQ(m_shown.back(), kProgressBadManifest);

    // Module files of this release need credentials that the seat's manifest does not carry.
    Publish(std::string(kClientPath) + "ContentUpdate.xml",
            "<R><Version_File UserName=\"counter\" Password=\"secret\"/></R>");
    Publish(std::string(kClientPath) + "Version.xml",
            "<R><Version_File Update=\"2024-03-01\"/><Module ModuleName=\"S\" ModulePath=\"s.css\" "
            "Update=\"2024-03-01\"/></R>");
    Publish(std::string(kClientPath) + "s.css", "body{}");
    m_shown.clear();
    EXPECT_EQ(RunLauncher(Address()), UpdateResult::ModuleNotFetched);
    EXPECT_EQ(m_shown, (Strings{std::string(kProgressChecking), std::string(kProgressDownloading),
                                std::string(kProgressModuleFailed)}));
    EXPECT_FALSE(std::filesystem::exists(Program() / "Content/s.css"));
    EXPECT_FALSE(std::filesystem::exists(Program() / "Version.xml"));
}

// A trickle of one byte per 100 ms would hold the manifest's fetch for about a minute.
TEST_F(LauncherUpdateTest, AManifestThatDoesNotComeIsGivenUpAtItsDeadline) {
    using namespace std::chrono_literals;
    test::RawHttpServer trickle(
        test::HttpAnswer("200 OK", "Content-Length: 500\r\n", std::string(500, ' ')), 100ms);
    UpdateSite site{"127.0.0.1", trickle.Port(), kClientPath, {}};
    const auto start = std::chrono::steady_clock::now();
    site.manifestGiveUpAt = start + 3s;
    EXPECT_EQ(RunLauncherUpdate(site, Program(),
                                [this](std::string_view text) { m_shown.emplace_back(text); }),
              UpdateResult::ManifestNotFetched);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 8s);
    EXPECT_EQ(m_shown.back(), kProgressNoServer);
}

class ConsoleUpgradeTest : public UpdateRunTest {
protected:
    // A console release whose program file and a data file replace those of the program folder.
    void PublishConsoleProgram(const std::string& stamp, const std::string& program) const {
        Publish(std::string(kConsolePath) + "Version.xml",
                "<R><Version_File Update=\"" + stamp +
                    "\" Container=\"bin/\" UserName=\"nubra\" Password=\"pw\"/>"
                    "<Module ModuleName=\"Console\" ModulePath=\"console\" Update=\"" +
                    stamp +
                    "\" CopyTo=\"ZentrovaNubraConsole\"/><Module ModuleName=\"Skin\" "
                    "ModulePath=\"skin.txt\" Update=\"" +
                    stamp + "\" CopyTo=\"Skin\\skin.txt\"/></R>");
        Publish(std::string(kConsolePath) + "bin/console", program);
        Publish(std::string(kConsolePath) + "bin/skin.txt", "skin " + stamp);
    }

    UpdateResult Upgrade() {
        return RunConsoleUpgrade(Site(kConsolePath), Program(),
                                 [this](std::string_view text) { m_shown.emplace_back(text); });
    }

    Strings m_shown;
};

TEST_F(ConsoleUpgradeTest, InstallsEveryModuleAtItsCopyToAndRecordsTheRelease) {
    m_sandbox.WriteFile("program/ZentrovaNubraConsole", "#!/bin/sh\necho old\n");
    PublishConsoleProgram("2024-03-01 09:00:00", "#!/bin/sh\necho new\n");
    EXPECT_EQ(Upgrade(), UpdateResult::Updated);
    EXPECT_EQ(test::ReadFile(Program() / "ZentrovaNubraConsole"), "#!/bin/sh\necho new\n");
    EXPECT_EQ(test::ReadFile(Program() / "Skin/skin.txt"), "skin 2024-03-01 09:00:00");
    EXPECT_NE(std::filesystem::status(Program() / "ZentrovaNubraConsole").permissions() &
                  std::filesystem::perms::owner_exec,
              std::filesystem::perms::none);
    EXPECT_FALSE(CheckForNewVersion(Site(kConsolePath), Program()));
    EXPECT_EQ(m_shown.back(), kProgressDeploying);

    m_shown.clear();
    EXPECT_EQ(Upgrade(), UpdateResult::Current);
    EXPECT_EQ(m_shown, (Strings{std::string(kProgressChecking)}));
}

TEST_F(ConsoleUpgradeTest, AFailedFetchOrCopyLeavesTheOldFilesAndRecordsNothing) {
    m_sandbox.WriteFile("program/ZentrovaNubraConsole", "old");
    PublishConsoleProgram("2024-03-01 09:00:00", "new");
    std::filesystem::remove(m_sandbox.Path() / "releases" / kConsolePath / "bin/skin.txt");
    EXPECT_EQ(Upgrade(), UpdateResult::ModuleNotFetched);
    EXPECT_EQ(test::ReadFile(Program() / "ZentrovaNubraConsole"), "old");

    // A folder where a file should go cannot be replaced by it.
    PublishConsoleProgram("2024-03-01 09:00:00", "new");
    std::filesystem::create_directories(Program() / "Skin/skin.txt");
    EXPECT_EQ(Upgrade(), UpdateResult::NotInstalled);
    EXPECT_EQ(m_shown.back(), kProgressNotInstalled);
    EXPECT_FALSE(std::filesystem::exists(Program() / "Version.xml"));

    // The next run installs the whole release.
    std::filesystem::remove_all(Program() / "Skin");
    EXPECT_EQ(Upgrade(), UpdateResult::Updated);
    EXPECT_EQ(test::ReadFile(Program() / "Skin/skin.txt"), "skin 2024-03-01 09:00:00");
}

TEST_F(ConsoleUpgradeTest, ACopyToOutsideTheFolderRefusesTheWholeRelease) {
    m_sandbox.WriteFile("program/ZentrovaNubraConsole", "old");
    Publish(std::string(kConsolePath) + "Version.xml",
            "<R><Version_File Update=\"2024-03-01\"/><Module ModuleName=\"C\" ModulePath=\"c\" "
            "CopyTo=\"ZentrovaNubraConsole\"/><Module ModuleName=\"E\" ModulePath=\"e\" "
            "CopyTo=\"..\\escape\"/></R>");
    Publish(std::string(kConsolePath) + "c", "new");
    Publish(std::string(kConsolePath) + "e", "escape");
    EXPECT_EQ(Upgrade(), UpdateResult::NotInstalled);
    EXPECT_EQ(test::ReadFile(Program() / "ZentrovaNubraConsole"), "old");
    EXPECT_FALSE(std::filesystem::exists(m_sandbox.Path() / "escape"));
}

}  // namespace
}  // namespace zn
