#include "config/SeatListFile.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "LogCapture.h"
#include "Sandbox.h"
#include "common/XmlDocument.h"
#include "config/NoticePage.h"
#include "console/SeatList.h"
#include "platform/Registry.h"
#include "platform/TextCodec.h"

namespace zn::config {
namespace {

class SeatListFileTest : public ::testing::Test {
protected:
    std::vector<SeatRow> Read(std::string_view content) {
        return ReadSeatList(m_sandbox.WriteFile("SeatList.xml", content));
    }
    std::filesystem::path File() const { return m_sandbox.Path() / "SeatList.xml"; }

    test::Sandbox m_sandbox;
};

TEST_F(SeatListFileTest, SavedListIsTheConsolesFormAndItsLookUpFindsEverySeat) {
    const std::vector<SeatRow> rows = {{"192.168.0.10", "一号机"},
                                       {"192.168.0.11", ""},
                                       {"192.168.0.10", "重复"},
                                       {"0.0.0.0", "A<&>\"'B"}};
    ASSERT_EQ(WriteSeatList(File(), rows), SeatListWrite::Written);
    EXPECT_EQ(test::ReadFile(File()),
              "<SeatList><Seat IP=\"192.168.0.10\">一号机</Seat><Seat IP=\"192.168.0.11\"/>"
              "<Seat IP=\"192.168.0.10\">重复</Seat>"
              "<Seat IP=\"0.0.0.0\">A&lt;&amp;&gt;\"'B</Seat></SeatList>");

    EXPECT_EQ(console::LookUpSeat(m_sandbox.Path(), "192.168.0.10"), "一号机");
    EXPECT_EQ(console::LookUpSeat(m_sandbox.Path(), "192.168.0.11"), "");
    EXPECT_EQ(console::LookUpSeat(m_sandbox.Path(), "0.0.0.0"), "A<&>\"'B");
    console::CSeatList list;
    EXPECT_EQ(list.Open(m_sandbox.Path()), 0);
    EXPECT_EQ(list.LookUp("192.168.0.10"), "一号机");

    EXPECT_EQ(ReadSeatList(File()), rows) << "the tool reads back what it wrote, in order";
}

TEST_F(SeatListFileTest, EmptyListWritesAnEmptyRootThatFindsNothing) {
    ASSERT_EQ(WriteSeatList(File(), {}), SeatListWrite::Written);
    EXPECT_EQ(test::ReadFile(File()), "<SeatList/>");
    EXPECT_TRUE(ReadSeatList(File()).empty());
    EXPECT_EQ(console::LookUpSeat(m_sandbox.Path(), "10.0.0.1"), "");
}

TEST_F(SeatListFileTest, AFailedWriteIsReportedLoggedAndLeavesNothingBehind) {
    test::LogCapture log;
    EXPECT_EQ(WriteSeatList(m_sandbox.Path() / "missing" / "SeatList.xml", {{"1.2.3.4", "A"}}),
              SeatListWrite::WriteFailed);
    EXPECT_TRUE(log.Contains({"seat list not written", "SeatList.xml"}));

    // A folder where the file should be cannot be replaced: it stays as it was, and no
    // temporary file is left beside it.
    std::filesystem::create_directory(File());
    m_sandbox.WriteFile("SeatList.xml/keep", "x");
    EXPECT_EQ(WriteSeatList(File(), {{"1.2.3.4", "A"}}), SeatListWrite::WriteFailed);
    EXPECT_EQ(test::ReadFile(File() / "keep"), "x");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_sandbox.Path())) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(std::ranges::count_if(names,
                                    [](const std::string& name) {
                                        return name.starts_with("SeatList.xml") &&
                                               name != "SeatList.xml";
                                    }),
              0);
}

TEST_F(SeatListFileTest, RowsComeInDocumentOrderAndASeatWithoutAddressShowsAnEmptyOne) {
    EXPECT_EQ(Read("<SeatList><Seat IP=\"10.0.0.2\">B</Seat><Seat>无地址</Seat>"
                   "<Seat IP=\"10.0.0.1\" Other=\"x\">A</Seat></SeatList>"),
              (std::vector<SeatRow>{{"10.0.0.2", "B"}, {"", "无地址"}, {"10.0.0.1", "A"}}));
}

TEST_F(SeatListFileTest, UnreadableOrMalformedFilesOpenAnEmptyList) {
    EXPECT_TRUE(ReadSeatList(m_sandbox.Path() / "none.xml").empty()) << "missing";
    EXPECT_TRUE(Read("").empty()) << "empty";
    EXPECT_TRUE(Read("<SeatList><Seat IP=\"1.1.1.1\">A</SeatList>").empty()) << "not well-formed";
    EXPECT_TRUE(Read(std::string("\xff\xfe<\0S\0", 6)).empty()) << "binary";
    EXPECT_TRUE(Read("<?xml version=\"1.0\"?><!DOCTYPE SeatList [<!ENTITY a \"aaaaaaaa\">"
                     "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]>"
                     "<SeatList><Seat IP=\"1.1.1.1\">&b;</Seat></SeatList>")
                    .empty())
        << "a document type (entity expansion) is refused";
    EXPECT_TRUE(Read(std::string(CXmlDocument::kMaxFileBytes + 1, ' ')).empty())
        << "over the size cap";
    std::filesystem::create_directory(m_sandbox.Path() / "folder.xml");
    EXPECT_TRUE(ReadSeatList(m_sandbox.Path() / "folder.xml").empty()) << "a folder";
}

TEST_F(SeatListFileTest, OnlySeatsUnderASeatListCountAndTheirTextIsAllTheirText) {
    EXPECT_EQ(Read("<Root><Seat IP=\"9.9.9.9\">out</Seat><SeatList><Seat IP=\"1.1.1.1\">A<b>1</b>"
                   "<![CDATA[<2>]]><!--c--></Seat><Other IP=\"2.2.2.2\"/></SeatList></Root>"),
              (std::vector<SeatRow>{{"1.1.1.1", "A1<2>"}}));
}

TEST_F(SeatListFileTest, AFileDeclaredInGbkIsReadAsChinese) {
    EXPECT_EQ(Read("<?xml version=\"1.0\" encoding=\"GBK\"?><SeatList><Seat IP=\"1.1.1.1\">" +
                   TextCodec::Utf8ToGbk("三号") + "</Seat></SeatList>"),
              (std::vector<SeatRow>{{"1.1.1.1", "三号"}}));
}

TEST_F(SeatListFileTest, AFileWithMoreSeatsThanAnyCafeIsCut) {
    std::string content = "<SeatList>";
    for (std::size_t i = 0; i <= kMaxSeatRows; ++i) {
        content += "<Seat IP=\"1\">" + std::to_string(i) + "</Seat>";
    }
    content += "</SeatList>";
    test::LogCapture log;
    const std::vector<SeatRow> rows = Read(content);
    ASSERT_EQ(rows.size(), kMaxSeatRows);
    EXPECT_EQ(rows.back().seat, std::to_string(kMaxSeatRows - 1));
    EXPECT_TRUE(log.Contains({"more than"}));
}

// 0 when both files were written; which one failed otherwise.
int WriteBothFiles(const std::filesystem::path& folder, const std::filesystem::path& registry) {
    if (WriteSeatList(folder / "SeatList.xml", {{"10.0.0.8", "八号"}}) != SeatListWrite::Written) {
        return 11;
    }
    return WriteNoticePage(folder / "RequestReceived.html", NoticeChoice::SecondPreset, {},
                           Registry(registry)) == NoticeWriteResult::Written
               ? 0
               : 12;
}

// The console's folder may be writable by the administrator's group for its files only: the
// tool then writes them in place.
TEST_F(SeatListFileTest, AConsoleFolderThatRefusesNewFilesHasItsFilesWrittenInPlace) {
    constexpr uid_t kNobody = 65534;
    const auto folder = m_sandbox.Path() / "console";
    const auto seats = m_sandbox.WriteFile("console/SeatList.xml", "<SeatList/>");
    const auto notice = m_sandbox.WriteFile("console/RequestReceived.html", "old");
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    if (::geteuid() != 0) {
        EXPECT_EQ(WriteBothFiles(folder, m_sandbox.RegistryFolder()), 0);
    } else {
        // Root may create files anywhere: the folder refuses only another account.
        std::filesystem::permissions(m_sandbox.Path(), std::filesystem::perms::all);
        ASSERT_EQ(::chown(seats.c_str(), kNobody, kNobody), 0);
        ASSERT_EQ(::chown(notice.c_str(), kNobody, kNobody), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
                _exit(10);
            }
            _exit(WriteBothFiles(folder, m_sandbox.RegistryFolder()));
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0)
            << "10: cannot change user, 11: seat list not written, 12: notice page not written";
    }
    EXPECT_EQ(ReadSeatList(seats), (std::vector<SeatRow>{{"10.0.0.8", "八号"}}));
    EXPECT_EQ(test::ReadFile(notice), NoticePageBytes(kSecondPresetText, false));
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
}

}  // namespace
}  // namespace zn::config
