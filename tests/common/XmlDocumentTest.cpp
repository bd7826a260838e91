#include "common/XmlDocument.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "Sandbox.h"

namespace zn {
namespace {

using test::ReadFile;
using test::Sandbox;

constexpr const char* kSeats =
    "<SeatList><Seat IP=\"192.168.0.5\">A1</Seat><Seat IP=\"192.168.0.6\"></Seat>"
    "<Seat IP=\"192.168.0.5\">A2</Seat></SeatList>";

std::string SeatOf(const CXmlDocument& document, const std::string& address) {
    return document.SelectSingleNode("descendant::SeatList/Seat[@IP=\"" + address + "\"]").Text();
}

TEST(XmlDocumentTest, LoadReportsWhatWentWrong) {
    Sandbox sandbox;
    CXmlDocument document;
    EXPECT_EQ(document.Load(sandbox.Path() / "missing.xml"), CXmlDocument::kLoadFailed);
    EXPECT_EQ(document.Load(sandbox.Path()), CXmlDocument::kLoadFailed) << "a folder";
    EXPECT_EQ(document.Load(sandbox.WriteFile("bad.xml", "<a><b></a>")), CXmlDocument::kParseError);
    EXPECT_EQ(document.Load(sandbox.WriteFile("empty.xml", "")), CXmlDocument::kParseError);
    EXPECT_EQ(document.Load(sandbox.WriteFile("seats.xml", kSeats)), CXmlDocument::kLoaded);
    EXPECT_EQ(SeatOf(document, "192.168.0.5"), "A1");
}

TEST(XmlDocumentTest, FilesOverTheLimitAreRefused) {
    Sandbox sandbox;
    const std::string open = "<a>";
    const std::string close = "</a>";
    std::string text = open + std::string(CXmlDocument::kMaxFileBytes - 7, ' ') + close;
    ASSERT_EQ(text.size(), CXmlDocument::kMaxFileBytes);
    CXmlDocument document;
    EXPECT_EQ(document.Load(sandbox.WriteFile("limit.xml", text)), CXmlDocument::kLoaded);
    text.insert(open.size(), " ");
    EXPECT_EQ(document.Load(sandbox.WriteFile("over.xml", text)), CXmlDocument::kLoadFailed);
    EXPECT_EQ(document.LoadXml(text), CXmlDocument::kLoadFailed);
}

TEST(XmlDocumentTest, AFailedLoadLeavesNothingOfTheDocumentBefore) {
    CXmlDocument document;
    ASSERT_EQ(document.LoadXml(kSeats), CXmlDocument::kLoaded);
    EXPECT_EQ(document.LoadXml("<SeatList><Seat IP=\"1\">A1</Seat>"), CXmlDocument::kParseError);
    EXPECT_FALSE(document.DocumentElement());
    EXPECT_EQ(SeatOf(document, "1"), "");
    EXPECT_EQ(document.SelectNodes("descendant::Seat").Length(), 0);
}

TEST(XmlDocumentTest, ADoctypeIsRefused) {
    CXmlDocument document;
    EXPECT_EQ(document.LoadXml("<!DOCTYPE a [<!ENTITY x \"y\">]><a>&x;</a>"),
              CXmlDocument::kParseError);
    EXPECT_EQ(document.LoadXml("<!DOCTYPE a SYSTEM \"a.dtd\"><a/>"), CXmlDocument::kParseError);
}

TEST(XmlDocumentTest, SeatLookupsCompareAddressTextsAndTakeTheFirstMatch) {
    CXmlDocument document;
    ASSERT_EQ(document.LoadXml(kSeats), CXmlDocument::kLoaded);
    EXPECT_EQ(SeatOf(document, "192.168.0.5"), "A1");
    EXPECT_EQ(SeatOf(document, "192.168.00.5"), "");
    EXPECT_EQ(SeatOf(document, "192.168.0.6"), "");
    EXPECT_TRUE(document.SelectSingleNode("descendant::SeatList/Seat[@IP=\"192.168.0.6\"]"));
}

TEST(XmlDocumentTest, AQueryBrokenByAQuoteSelectsNothing) {
    CXmlDocument document;
    ASSERT_EQ(document.LoadXml(kSeats), CXmlDocument::kLoaded);
    EXPECT_EQ(SeatOf(document, "192.168.0.5\""), "");
    EXPECT_FALSE(document.SelectSingleNode("descendant::Seat[@IP=\"1\"\"]"));
    EXPECT_EQ(document.SelectNodes("descendant::Seat[@IP=\"1\"\"]").Length(), 0);
    EXPECT_EQ(document.SelectNodes(std::string_view("descendant::Seat\0x", 17)).Length(), 0);
    EXPECT_EQ(document.SelectNodes("count(//Seat)").Length(), 0) << "not a node set";
}

TEST(XmlDocumentTest, NodesGiveAttributesTextAndMarkup) {
    CXmlDocument document;
    ASSERT_EQ(document.LoadXml("<r><m a=\"1\">x<b>y</b>z<![CDATA[<w>]]><!--c--></m></r>"),
              CXmlDocument::kLoaded);
    const CXmlNode node = document.SelectSingleNode("descendant::m");
    ASSERT_TRUE(node);
    EXPECT_EQ(node.GetAttribute("a"), "1");
    EXPECT_EQ(node.GetAttribute("missing"), "");
    EXPECT_EQ(node.Text(), "xyz<w>");
    EXPECT_EQ(node.Xml(), "<m a=\"1\">x<b>y</b>z<![CDATA[<w>]]><!--c--></m>");
    EXPECT_EQ(document.SelectSingleNode("descendant::m/text()").Text(), "x");

    const CXmlNode none;
    EXPECT_FALSE(none);
    EXPECT_EQ(none.GetAttribute("a"), "");
    EXPECT_EQ(none.Text(), "");
    EXPECT_EQ(none.Xml(), "");
}

TEST(XmlDocumentTest, NodeListsStayWithinTheirItems) {
    CXmlDocument document;
    ASSERT_EQ(document.LoadXml(kSeats), CXmlDocument::kLoaded);
    CXmlNodeList seats = document.SelectNodes("descendant::SeatList/Seat");
    ASSERT_EQ(seats.Length(), 3);
    EXPECT_EQ(seats.Item(2).Text(), "A2");
    EXPECT_FALSE(seats.Item(-1));
    EXPECT_FALSE(seats.Item(3));
    EXPECT_EQ(seats.NextNode().Text(), "A1");
    EXPECT_EQ(seats.NextNode().GetAttribute("IP"), "192.168.0.6");
    EXPECT_EQ(seats.NextNode().Text(), "A2");
    EXPECT_FALSE(seats.NextNode());
    EXPECT_FALSE(seats.NextNode());

    CXmlNodeList empty;
    EXPECT_EQ(empty.Length(), 0);
    EXPECT_FALSE(empty.Item(0));
    EXPECT_FALSE(empty.NextNode());
}

TEST(XmlDocumentTest, SavedSeatListIsRawUtf8AndReadsBackUnchanged) {
    Sandbox sandbox;
    CXmlDocument written;
    ASSERT_EQ(written.LoadXml("<SeatList></SeatList>"), CXmlDocument::kLoaded);
    CXmlNode root = written.SelectSingleNode("descendant::SeatList");
    ASSERT_TRUE(root);
    CXmlNode first = root.AppendElement("Seat");
    ASSERT_TRUE(first.SetAttribute("IP", "192.168.0.5") && first.SetText("三号机 <VIP>"));
    CXmlNode second = root.AppendElement("Seat");
    ASSERT_TRUE(second.SetAttribute("IP", "0.0.0.0") && second.SetText(""));
    const auto file = sandbox.Path() / "SeatList.xml";
    ASSERT_TRUE(written.Save(file));

    EXPECT_EQ(ReadFile(file).value_or(""),
              "<SeatList><Seat IP=\"192.168.0.5\">三号机 &lt;VIP&gt;</Seat>"
              "<Seat IP=\"0.0.0.0\"/></SeatList>");
    CXmlDocument read;
    ASSERT_EQ(read.Load(file), CXmlDocument::kLoaded);
    EXPECT_EQ(SeatOf(read, "192.168.0.5"), "三号机 <VIP>");
    EXPECT_EQ(read.SelectNodes("descendant::SeatList/Seat").Length(), 2);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(sandbox.Path()), {}), 4)
        << "a temporary file was left behind";  // registry, run, c, SeatList.xml
}

TEST(XmlDocumentTest, GbkDocumentsAreReadAsSuchAndSavedAsDeclaredUtf8) {
    Sandbox sandbox;
    CXmlDocument document;
    // "座号" in GBK.
    ASSERT_EQ(
        document.LoadXml("<?xml version=\"1.0\" encoding=\"GB2312\"?><a>\xD7\xF9\xBA\xC5</a>"),
        CXmlDocument::kLoaded);
    EXPECT_EQ(document.DocumentElement().Text(), "座号");
    const auto file = sandbox.Path() / "Version.xml";
    ASSERT_TRUE(document.Save(file));
    EXPECT_EQ(ReadFile(file).value_or(""), "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>座号</a>");
}

TEST(XmlDocumentTest, AFailedSaveReportsFalseAndLeavesNoTrace) {
    Sandbox sandbox;
    CXmlDocument document;
    ASSERT_EQ(document.LoadXml("<a/>"), CXmlDocument::kLoaded);
    EXPECT_FALSE(document.Save(sandbox.Path() / "no" / "such" / "folder.xml"));
    const auto folder = sandbox.Path() / "taken";
    std::filesystem::create_directories(folder / "inside");
    EXPECT_FALSE(document.Save(folder)) << "a folder replaced by a file";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(sandbox.Path()), {}), 4)
        << "a temporary file was left behind";  // registry, run, c, taken
}

}  // namespace
}  // namespace zn
