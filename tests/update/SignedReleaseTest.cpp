// Update runs with "UpdatePublicKey" set, against releases signed by the minisign program and
// served by the local web host: what is refused is neither recorded, installed nor run.
#include <gtest/gtest.h>

#include "FakeServices.h"
#include "LogCapture.h"
#include "ReleaseSigner.h"
#include "Sandbox.h"
#include "WebHost.h"
#include "update/SignedDownload.h"
#include "update/UpdateRun.h"

namespace zn {
namespace {

constexpr const char* kConsolePath = "Zentrova/NubraServer/Update/";
constexpr const char* kClientPath = "Zentrova/NubraClient_Murvel/Update/";

class SignedReleaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_signer.Ok() && m_other.Ok());
        webhost::WebHostConfig config;
        config.releasesFolder = Releases();
        config.logRequests = false;
        m_host = std::make_unique<webhost::WebHost>(config);
        const auto port = m_host->Start(0);
        ASSERT_TRUE(port);
        m_port = *port;
        std::filesystem::create_directories(Program());
    }

    std::filesystem::path Program() const { return m_sandbox.Path() / "program"; }
    std::filesystem::path Releases() const { return m_sandbox.Path() / "releases"; }

    std::filesystem::path Publish(const std::string& path, const std::string& content,
                                  const test::ReleaseSigner* signer,
                                  const test::SignOptions& options = {}) const {
        const auto file = m_sandbox.WriteFile("releases/" + path, content);
        if (signer != nullptr) {
            EXPECT_TRUE(signer->Sign(file, options));
        }
        return file;
    }

    // Modules A (prehashed signature) and B (legacy), copied to "Deployed/"; the script records
    // the release in the registry.
    void PublishConsoleRelease(const test::ReleaseSigner* moduleSigner) const {
        const std::string base = kConsolePath;
        Publish(base + "files/A.txt", "new A", moduleSigner);
        Publish(base + "files/B.txt", "new B", moduleSigner, {.legacy = true});
        Publish(base + "ContentUpdate.xml",
                "<R><Version_File Update=\"2024-03-01\" Container=\"files/\" UserName=\"u\" "
                "Password=\"p\" Port=\"" +
                    std::to_string(m_port) +
                    "\"/><Module ModuleName=\"A\" ModulePath=\"A.txt\" CopyTo=\"Deployed\\A.txt\"/>"
                    "<Module ModuleName=\"B\" ModulePath=\"B.txt\" CopyTo=\"Deployed\\B.txt\"/>"
                    "<Finalize Action=\"Misc\"><Registry Path=\"HKEY_CURRENT_USER\\Software\\Z\" "
                    "Name=\"Release\" Value=\"march\"/></Finalize></R>",
                &m_signer);
    }

    UpdateSite Site(const char* path, const std::string& keys) const {
        return {"127.0.0.1", m_port, path, {}, ReleaseTrust::FromSetting(keys)};
    }

    UpdateResult RunConsole(const std::string& keys) {
        return RunContentUpdate(Site(kConsolePath, keys), m_deployment);
    }

    UpdateResult RunLauncher(const std::string& keys) {
        m_shown.clear();
        return RunLauncherUpdate(Site(kClientPath, keys), Program(),
                                 [this](std::string_view text) { m_shown.emplace_back(text); });
    }

    bool Deployed() const {
        const auto key = m_registry.OpenKey(RegistryRoot::CurrentUser, "Software\\Z");
        return key && key->QueryString("Release");
    }

    test::Sandbox m_sandbox;
    test::ReleaseSigner m_signer{m_sandbox.Path() / "key"};
    test::ReleaseSigner m_other{m_sandbox.Path() / "other-key"};
    std::unique_ptr<webhost::WebHost> m_host;
    int m_port = 0;
    Registry m_registry{m_sandbox.RegistryFolder()};
    test::FakeServices m_services;
    DeploymentContext m_deployment{
        Program(), m_registry, m_services, m_sandbox.DriveC() / "update.txt", {}};
    std::vector<std::string> m_shown;
};

TEST_F(SignedReleaseTest, AModuleThatIsNotWhatWasSignedFailsTheRunAndReplacesNothing) {
    PublishConsoleRelease(&m_signer);
    const auto moduleB = Releases() / kConsolePath / "files/B.txt";
    m_sandbox.WriteFile("program/Content/B.txt", "installed B");
    const std::string keys = m_other.PublicKey() + " " + m_signer.PublicKey();

    for (const auto& [what, tamper] : std::vector<std::pair<std::string, std::function<void()>>>{
             {"changed after signing",
              [&] { Publish(std::string(kConsolePath) + "files/B.txt", "evil B", nullptr); }},
             {"the signature of another module",
              [&] {
                  std::filesystem::copy_file(moduleB.parent_path() / "A.txt.minisig",
                                             moduleB.string() + ".minisig",
                                             std::filesystem::copy_options::overwrite_existing);
              }},
             {"signed with a key that is not trusted",
              [&] { Publish(std::string(kConsolePath) + "files/B.txt", "evil B", &m_other); }},
             {"no signature", [&] { std::filesystem::remove(moduleB.string() + ".minisig"); }},
         }) {
        SCOPED_TRACE(what);
        PublishConsoleRelease(&m_signer);
        tamper();
        test::LogCapture log;
        EXPECT_EQ(RunConsole(m_signer.PublicKey()), UpdateResult::ModuleNotFetched);
        EXPECT_EQ(test::ReadFile(Program() / "Content/B.txt"), "installed B");
        EXPECT_EQ(test::ReadFile(Program() / "Content/A.txt"), "new A");
        EXPECT_FALSE(std::filesystem::exists(Program() / "ContentUpdate.xml"));
        EXPECT_FALSE(std::filesystem::exists(Program() / "Deployed"));
        EXPECT_FALSE(Deployed());
        EXPECT_TRUE(log.Contains({"B.txt", "127.0.0.1"}));
    }

    // Signed as published, and trusted among two keys (a change of keys): taken and deployed.
    PublishConsoleRelease(&m_signer);
    EXPECT_EQ(RunConsole(keys), UpdateResult::Updated);
    EXPECT_EQ(test::ReadFile(Program() / "Deployed/A.txt"), "new A");
    EXPECT_EQ(test::ReadFile(Program() / "Deployed/B.txt"), "new B");
    EXPECT_TRUE(Deployed());
}

TEST_F(SignedReleaseTest, AManifestWithoutAValidSignatureIsOneThatDoesNotParse) {
    const std::string manifest = std::string(kClientPath) + "Version.xml";
    const auto signature = Releases() / (manifest + ".minisig");
    const std::string release =
        "<R><Version_File Update=\"2024-03-01\"/><Module ModuleName=\"S\" "
        "ModulePath=\"s.css\"/></R>";
    Publish(std::string(kClientPath) + "s.css", "body{}", &m_signer);

    for (const auto& [what, publish] : std::vector<std::pair<std::string, std::function<void()>>>{
             {"unsigned", [&] { Publish(manifest, release, nullptr); }},
             {"changed after signing",
              [&] {
                  Publish(manifest, release, &m_signer);
                  m_sandbox.WriteFile("releases/" + manifest,
                                      "<R><Version_File Update=\"2099-03-01\"/></R>");
              }},
             {"signed with a key that is not trusted",
              [&] { Publish(manifest, release, &m_other); }},
             {"a trusted comment changed after signing",
              [&] {
                  Publish(manifest, release, &m_signer, {.trustedComment = "release 1"});
                  std::string text = *test::ReadFile(signature);
                  text.replace(text.find("release 1"), 9, "release 2");
                  m_sandbox.WriteFile("releases/" + manifest + ".minisig", text);
              }},
             {"a signature over 4 KiB",
              [&] {
                  Publish(manifest, release, &m_signer);
                  m_sandbox.WriteFile(
                      "releases/" + manifest + ".minisig",
                      *test::ReadFile(signature) + std::string(kMaxSignatureBytes, '\n'));
              }},
         }) {
        SCOPED_TRACE(what);
        std::filesystem::remove(signature);
        publish();
        EXPECT_EQ(RunLauncher(m_signer.PublicKey()), UpdateResult::ManifestNotParsed);
        EXPECT_EQ(m_shown, (std::vector<std::string>{std::string(kProgressChecking),
                                                     std::string(kProgressBadManifest)}));
        EXPECT_FALSE(std::filesystem::exists(Program() / "Content"));
        EXPECT_FALSE(std::filesystem::exists(Program() / "Version.xml"));
    }

    // A key setting that is no key trusts nothing; it never turns the check off.
    Publish(manifest, release, &m_signer);
    EXPECT_EQ(RunLauncher("RWQ-not-a-key"), UpdateResult::ManifestNotParsed);
    EXPECT_EQ(RunLauncher(m_signer.PublicKey()), UpdateResult::Updated);
    EXPECT_EQ(test::ReadFile(Program() / "Content/s.css"), "body{}");
}

TEST_F(SignedReleaseTest, WithoutAKeyReleasesAreTakenUnverifiedAndEachRunSaysSo) {
    Publish(std::string(kClientPath) + "Version.xml",
            "<R><Version_File Update=\"2024-03-01\"/><Module ModuleName=\"S\" "
            "ModulePath=\"s.css\"/></R>",
            nullptr);
    Publish(std::string(kClientPath) + "s.css", "body{}", nullptr);
    test::LogCapture log;
    EXPECT_EQ(RunLauncher(""), UpdateResult::Updated);
    EXPECT_EQ(RunLauncher(""), UpdateResult::Current);
    const auto lines = log.Lines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.find("not verified") != std::string::npos;
                            }),
              2);
}

}  // namespace
}  // namespace zn
