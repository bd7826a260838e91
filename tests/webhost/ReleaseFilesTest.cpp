#include <gtest/gtest.h>

#include <httplib.h>

#include <array>

#include "HostOptions.h"
#include "Sandbox.h"
#include "WebHost.h"

namespace zn::webhost {
namespace {

class ReleaseFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_sandbox.WriteFile("releases/Update/ContentUpdate.xml",
                            "<R><Version_File UserName=\"nubra\" Password=\"pw\"/></R>");
        m_sandbox.WriteFile("releases/Update/files/m.txt", "module");
        m_sandbox.WriteFile("releases/Open/Version.xml", "<R><Version_File/></R>");
        m_sandbox.WriteFile("releases/Open/deep/file.txt", "open");
        m_sandbox.WriteFile("secret.txt", "secret");
        WebHostConfig config;
        config.releasesFolder = m_sandbox.Path() / "releases";
        config.logRequests = false;
        m_host = std::make_unique<WebHost>(config);
        const auto port = m_host->Start(0);
        ASSERT_TRUE(port);
        m_client = std::make_unique<httplib::Client>("127.0.0.1", *port);
        m_client->set_connection_timeout(5);
        m_client->set_read_timeout(5);
    }

    int Status(const std::string& path) {
        const auto result = m_client->Get(path);
        return result ? result->status : -1;
    }

    test::Sandbox m_sandbox;
    std::unique_ptr<WebHost> m_host;
    std::unique_ptr<httplib::Client> m_client;
};

TEST_F(ReleaseFilesTest, ServesFilesWithTheirLength) {
    const auto result = m_client->Get("/Open/deep/file.txt");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->body, "open");
    EXPECT_EQ(result->get_header_value("Content-Length"), "4");
    EXPECT_FALSE(result->has_header("Transfer-Encoding"));
}

TEST_F(ReleaseFilesTest, ModuleFilesNeedTheReleaseCredentials) {
    EXPECT_EQ(Status("/Update/ContentUpdate.xml"), 200);
    EXPECT_EQ(Status("/Update/files/m.txt"), 401);
    m_client->set_basic_auth("nubra", "wrong");
    EXPECT_EQ(Status("/Update/files/m.txt"), 401);
    // The file system would see "m.txt" where the checks saw a manifest's name.
    EXPECT_EQ(Status("/Update/files/m.txt%00/ContentUpdate.xml"), 404);
    // A manifest that does not parse cannot say which credentials its files need.
    m_sandbox.WriteFile("releases/Update/ContentUpdate.xml", "<R><Version_File UserName=");
    EXPECT_EQ(Status("/Update/files/m.txt"), 404);
    m_client->set_basic_auth("nubra", "pw");
    EXPECT_EQ(Status("/Update/files/m.txt"), 404);
    m_sandbox.WriteFile("releases/Update/ContentUpdate.xml",
                        "<R><Version_File UserName=\"nubra\" Password=\"pw\"/></R>");
    EXPECT_EQ(Status("/Update/files/m.txt"), 200);
}

TEST_F(ReleaseFilesTest, NothingOutsideTheFolderIsServed) {
    for (const char* path : {"/../secret.txt", "/%2e%2e/secret.txt", "/Open/..%2f..%2fsecret.txt",
                             "/Open\\..\\..\\secret.txt", "/Open/missing.txt", "//"}) {
        EXPECT_EQ(Status(path), 404) << path;
    }
}

TEST(ReleaseOptionsTest, ReleasesFolderComesFromTheCommandLine) {
    const std::array<std::string_view, 2> arguments = {"--releases", "/srv/releases"};
    const ParsedOptions parsed = ParseHostOptions(arguments);
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(parsed.options->host.releasesFolder, "/srv/releases");
}

}  // namespace
}  // namespace zn::webhost
