#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "LogCapture.h"
#include "RawHttpServer.h"
#include "Sandbox.h"
#include "update/HttpDownload.h"

namespace zn {
namespace {

using test::HttpAnswer;
using test::RawHttpServer;

DownloadSource Source(const RawHttpServer& server, std::string object = "Update/Version.xml") {
    DownloadSource source;
    source.host = "127.0.0.1";
    source.port = server.Port();
    source.objectPath = std::move(object);
    return source;
}

// Short enough for a test, long enough for a loaded machine.
DownloadTimeouts TestTimeouts() {
    return {std::chrono::seconds(5), std::chrono::seconds(1)};
}

std::size_t Fetch(const RawHttpServer& server, std::string& buffer) {
    return DownloadToMemory(Source(server), std::string_view("\0", 1), buffer, TestTimeouts());
}

TEST(DownloadToMemoryTest, TakesTheBodyAndAppendsTheSuffix) {
    for (const char* status : {"200 OK", "206 Partial Content"}) {
        RawHttpServer server(HttpAnswer(status, "Content-Length: 5\r\n", "<r/>x"));
        std::string buffer;
        ASSERT_EQ(Fetch(server, buffer), 5u) << status;
        EXPECT_EQ(buffer, std::string("<r/>x\0", 6)) << status;
        EXPECT_EQ(server.Connections(), 1);
    }
}

TEST(DownloadToMemoryTest, SendsAPlainFreshGetWithoutAgent) {
    RawHttpServer server(HttpAnswer("200 OK", "Content-Length: 1\r\n", "x"));
    std::string buffer;
    DownloadSource source = Source(server, "Zentrova/A B/模块?.xml");
    source.userName = "nubra";
    source.password = "secret";
    ASSERT_EQ(DownloadToMemory(source, "", buffer, TestTimeouts()), 1u);
    const std::string request = server.LastRequest();
    EXPECT_TRUE(request.starts_with("GET /Zentrova/A%20B/%E6%A8%A1%E5%9D%97%3F.xml HTTP/1.1\r\n"))
        << request;
    EXPECT_NE(request.find("\r\nAccept: */*\r\n"), std::string::npos);
    EXPECT_NE(request.find("\r\nCache-Control: no-cache\r\n"), std::string::npos);
    EXPECT_NE(request.find("\r\nAuthorization: Basic bnVicmE6c2VjcmV0\r\n"), std::string::npos);
    EXPECT_EQ(request.find("User-Agent"), std::string::npos) << request;
}

TEST(DownloadToMemoryTest, EveryRefusedAnswerGivesZeroAtOnce) {
    const std::string answers[] = {
        HttpAnswer("404 Not Found", "Content-Length: 3\r\n", "no!"),
        HttpAnswer("301 Moved Permanently",
                   "Location: http://127.0.0.1:1/x\r\nContent-Length: 0\r\n", ""),
        HttpAnswer("500 Internal Server Error", "Content-Length: 0\r\n", ""),
        HttpAnswer("200 OK", "", "<r/>"),  // no Content-Length
        HttpAnswer("200 OK", "Transfer-Encoding: chunked\r\n", "4\r\n<r/>\r\n0\r\n\r\n"),
        HttpAnswer("200 OK", "Content-Length: 10\r\n", "<r/>"),  // shorter
        HttpAnswer("200 OK", "Content-Length: 2\r\n", "<r/>"),   // longer
        HttpAnswer("200 OK", "Content-Length: 0\r\n", ""),       // empty
        HttpAnswer("200 OK", "Content-Length: -4\r\n", "<r/>"),  // not a length
        HttpAnswer("200 OK", "Content-Length: 4\r\nContent-Length: 5\r\n", "<r/>"),
    };
    for (const std::string& answer : answers) {
        RawHttpServer server(answer);
        std::string buffer = "old";
        test::LogCapture log;
        EXPECT_EQ(Fetch(server, buffer), 0u) << answer;
        EXPECT_TRUE(buffer.empty()) << answer;
        EXPECT_EQ(server.Connections(), 1) << "tried again after: " << answer;
        EXPECT_TRUE(log.Contains({"Download of http://127.0.0.1:"})) << answer;
    }
}

TEST(DownloadToMemoryTest, RefusesAnAnnouncedLengthAboveTheCapWithoutReadingIt) {
    const std::string length = std::to_string(kMaxMemoryDownloadBytes + 1);
    RawHttpServer server(HttpAnswer("200 OK", "Content-Length: " + length + "\r\n", "<r/>"));
    std::string buffer;
    test::LogCapture log;
    EXPECT_EQ(Fetch(server, buffer), 0u);
    EXPECT_LT(buffer.capacity(), 1024u);
    EXPECT_TRUE(log.Contains({"Refused a download of", length}));
}

TEST(DownloadToMemoryTest, ServerThatNeverAnswersIsTriedThreeTimesWithinABound) {
    RawHttpServer server("");
    std::string buffer;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Fetch(server, buffer), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(server.Connections(), 3);
}

// One byte each 20 ms: about 4.8 s for the whole answer, its head within the first second.
TEST(DownloadToMemoryTest, ATricklingAnswerEndsAtADeadlineThatGrowsWithItsLength) {
    using namespace std::chrono_literals;
    RawHttpServer trickle(HttpAnswer("200 OK", "Content-Length: 200\r\n", std::string(200, 'x')),
                          20ms);
    DownloadTimeouts timeouts = TestTimeouts();
    timeouts.stall = 5s;  // bytes keep coming: only the total deadline can end the try
    timeouts.base = 2s;
    std::string buffer;
    EXPECT_EQ(DownloadToMemory(Source(trickle), "", buffer, timeouts), 0u);
    EXPECT_EQ(trickle.Connections(), 1) << "an answer that began was tried again";
    timeouts.bytesPerSecond = 25;  // 2 s + 8 s for the 200 bytes
    EXPECT_EQ(DownloadToMemory(Source(trickle), "", buffer, timeouts), 200u);
}

TEST(DownloadToMemoryTest, RefusesHostsThatAreNotHostNames) {
    RawHttpServer server(HttpAnswer("200 OK", "Content-Length: 1\r\n", "x"));
    for (const char* host : {"127.0.0.1:8080", "", "user@127.0.0.1", "127.0.0.1/x", "a b"}) {
        DownloadSource source = Source(server);
        source.host = host;
        std::string buffer;
        EXPECT_EQ(DownloadToMemory(source, "", buffer, TestTimeouts()), 0u) << host;
    }
    EXPECT_EQ(server.Connections(), 0);
}

TEST(DownloadToMemoryTest, NothingListeningFailsWithoutRetry) {
    int port = 0;
    {
        RawHttpServer closed(HttpAnswer("200 OK", "Content-Length: 1\r\n", "x"));
        port = closed.Port();
    }
    DownloadSource source;
    source.host = "127.0.0.1";
    source.port = port;
    source.objectPath = "x";
    std::string buffer;
    EXPECT_EQ(DownloadToMemory(source, "", buffer, TestTimeouts()), 0u);
}

class DownloadToFileTest : public ::testing::Test {
protected:
    std::filesystem::path Installed() {
        return m_sandbox.WriteFile("Content/skin/banner.txt", "installed");
    }
    test::Sandbox m_sandbox;
};

TEST_F(DownloadToFileTest, ReplacesTheFileWithACompleteBody) {
    const auto file = Installed();
    std::filesystem::permissions(file, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::owner_write |
                                           std::filesystem::perms::owner_exec);
    RawHttpServer server(HttpAnswer("200 OK", "Content-Length: 7\r\n", "release"));
    EXPECT_EQ(DownloadToFile(Source(server), file, TestTimeouts()), 7u);
    EXPECT_EQ(test::ReadFile(file), "release");
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.parent_path()), {}), 1);
}

TEST_F(DownloadToFileTest, AFailedDownloadLeavesTheInstalledFileWholeAndNoTemporary) {
    const std::string answers[] = {
        HttpAnswer("200 OK", "Content-Length: 100\r\n", "rel"),             // shorter
        HttpAnswer("200 OK", "Content-Length: 3\r\n", "release and more"),  // longer
        HttpAnswer("200 OK", "Content-Length: 0\r\n", ""),
        HttpAnswer("200 OK", "", "release"),
        HttpAnswer("404 Not Found", "Content-Length: 7\r\n", "missing"),
    };
    const auto file = Installed();
    for (const std::string& answer : answers) {
        RawHttpServer server(answer);
        EXPECT_EQ(DownloadToFile(Source(server), file, TestTimeouts()), 0u) << answer;
        EXPECT_EQ(test::ReadFile(file), "installed") << answer;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.parent_path()), {}), 1)
            << "a temporary file was left after: " << answer;
    }
}

TEST_F(DownloadToFileTest, RulesRefuseALongBodyUnreadAndABodyTheCheckRejects) {
    const auto file = Installed();
    RawHttpServer server(HttpAnswer("200 OK", "Content-Length: 7\r\n", "release"));
    std::vector<std::string> checked;
    FileDownloadRules rules{6, [&](const std::filesystem::path& downloaded) {
                                checked.push_back(test::ReadFile(downloaded).value_or("?"));
                                return false;
                            }};
    {
        test::LogCapture log;
        EXPECT_EQ(DownloadToFile(Source(server), file, TestTimeouts(), rules), 0u);
        EXPECT_TRUE(log.Contains({"Refused a download of 7 bytes", "at most 6"}));
        EXPECT_TRUE(checked.empty()) << "a body over the bound was read";
    }

    rules.maxBytes = 7;
    EXPECT_EQ(DownloadToFile(Source(server), file, TestTimeouts(), rules), 0u);
    EXPECT_EQ(checked, std::vector<std::string>{"release"}) << "the check saw no complete body";
    EXPECT_EQ(test::ReadFile(file), "installed");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.parent_path()), {}), 1)
        << "the rejected body was left behind";

    rules.accept = [](const std::filesystem::path&) { return true; };
    EXPECT_EQ(DownloadToFile(Source(server), file, TestTimeouts(), rules), 7u);
    EXPECT_EQ(test::ReadFile(file), "release");
}

TEST_F(DownloadToFileTest, NewProgramFilesGetExecuteBits) {
    const auto program = m_sandbox.Path() / "Content" / "tool";
    const auto data = m_sandbox.Path() / "Content" / "data.txt";
    std::filesystem::create_directories(program.parent_path());
    RawHttpServer elf(HttpAnswer("200 OK", "Content-Length: 6\r\n",
                                 "\x7f"
                                 "ELF\x02\x01"));
    RawHttpServer text(HttpAnswer("200 OK", "Content-Length: 4\r\n", "text"));
    ASSERT_EQ(DownloadToFile(Source(elf), program, TestTimeouts()), 6u);
    ASSERT_EQ(DownloadToFile(Source(text), data, TestTimeouts()), 4u);
    using std::filesystem::perms;
    EXPECT_NE(std::filesystem::status(program).permissions() & perms::owner_exec, perms::none);
    EXPECT_EQ(std::filesystem::status(data).permissions() & perms::owner_exec, perms::none);
}

TEST_F(DownloadToFileTest, AMissingFolderFailsCleanly) {
    RawHttpServer server(HttpAnswer("200 OK", "Content-Length: 7\r\n", "release"));
    EXPECT_EQ(DownloadToFile(Source(server), m_sandbox.Path() / "none" / "file", TestTimeouts()),
              0u);
}

}  // namespace
}  // namespace zn
