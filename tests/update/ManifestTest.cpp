#include <gtest/gtest.h>

#include <climits>
#include <ctime>
#include <string>

#include "common/XmlDocument.h"
#include "update/DecimalText.h"
#include "update/Manifest.h"
#include "update/UpdateStamp.h"

namespace zn {
namespace {

UpdateStamp LocalTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

std::unique_ptr<CXmlDocument> Parsed(const std::string& text) {
    auto document = std::make_unique<CXmlDocument>();
    EXPECT_EQ(document->LoadXml(text), CXmlDocument::kLoaded) << text;
    return document;
}

TEST(UpdateStampTest, ReadsFieldsUntilTheFirstMismatchAndDefaultsTheRest) {
    EXPECT_EQ(ParseUpdateStamp("2008-05-20 13:45:00"), LocalTime(2008, 5, 20, 13, 45, 0));
    EXPECT_EQ(ParseUpdateStamp("2008-5-20"), LocalTime(2008, 5, 20));
    EXPECT_EQ(ParseUpdateStamp("2008"), LocalTime(2008, 1, 1));
    EXPECT_EQ(ParseUpdateStamp(""), LocalTime(2000, 1, 1));
    EXPECT_EQ(ParseUpdateStamp("2008/05/20"), LocalTime(2008, 1, 1));
    EXPECT_EQ(ParseUpdateStamp("soon"), LocalTime(2000, 1, 1));
    // At most four digits a field: the fifth digit is where the next field would begin.
    EXPECT_EQ(ParseUpdateStamp("20081-05-20"), LocalTime(2008, 1, 1));
    EXPECT_EQ(ParseUpdateStamp("2008-05-20T13:45"), LocalTime(2008, 5, 20));
}

TEST(UpdateStampTest, EveryTextOfTheFormatGivesAnOrderedStamp) {
    EXPECT_LT(ParseUpdateStamp("1969-12-31 00:00:00"), 0);
    EXPECT_LT(ParseUpdateStamp("0001-01-01"), ParseUpdateStamp("1969-12-31"));
    EXPECT_GT(ParseUpdateStamp("9999-12-31 23:59:59"), ParseUpdateStamp("2038-01-20"));
    EXPECT_EQ(ParseUpdateStamp("2008-13-01"), LocalTime(2009, 1, 1));
}

TEST(DecimalTextTest, ReadsLeadingDigitsLikeTheRuntime) {
    EXPECT_EQ(LeadingDecimal("12abc"), 12);
    EXPECT_EQ(LeadingDecimal("  42"), 42);
    EXPECT_EQ(LeadingDecimal("-5"), -5);
    EXPECT_EQ(LeadingDecimal("abc"), 0);
    EXPECT_EQ(LeadingDecimal(""), 0);
    EXPECT_EQ(LeadingDecimal("99999999999999999999"), INT_MAX);
    EXPECT_EQ(LeadingDecimal("-99999999999999999999"), INT_MIN);
}

TEST(ManifestReadersTest, TakeTheFirstVersionFileAtAnyDepth) {
    const auto document = Parsed(
        "<r><x><Version_File Update=\"2008-05-20 13:45:00\" Container=\"c/\" UserName=\"u\" "
        "Password=\"p\" Port=\"8080\"/></x><Version_File Update=\"2010-01-01\" Port=\"81\"/></r>");
    EXPECT_EQ(ReadUpdateStamp(*document), LocalTime(2008, 5, 20, 13, 45, 0));
    EXPECT_EQ(ReadContainer(*document), "c/");
    EXPECT_EQ(ReadUserName(*document), "u");
    EXPECT_EQ(ReadPassword(*document), "p");
    EXPECT_EQ(ReadPort(*document), 8080);
}

TEST(ManifestReadersTest, MissingValuesGiveTheirDefaults) {
    const auto none = Parsed("<r><Module ModuleName=\"a\"/></r>");
    EXPECT_EQ(ReadUpdateStamp(*none), 0);
    EXPECT_EQ(ReadContainer(*none), "");
    EXPECT_EQ(ReadUserName(*none), "");
    EXPECT_EQ(ReadPort(*none), 80);
    for (const char* port : {"0", "", "http", "-8080", "70000"}) {
        const auto document = Parsed(std::string("<r><Version_File Port=\"") + port + "\"/></r>");
        EXPECT_EQ(ReadPort(*document), 80) << port;
    }
    EXPECT_EQ(ReadPort(*Parsed("<r><Version_File Port=\"8080abc\"/></r>")), 8080);
}

TEST(ManifestReadersTest, FindLocalModuleMatchesTheNameExactly) {
    const auto document = Parsed(
        "<r><Module ModuleName=\"Skin\" Update=\"1\"/><Module ModuleName=\"Skin\" Update=\"2\"/>"
        "<Module ModuleName='say \"hi\"'/></r>");
    EXPECT_EQ(FindLocalModule(*document, "Skin").GetAttribute("Update"), "1");
    EXPECT_FALSE(FindLocalModule(*document, "skin"));
    EXPECT_FALSE(FindLocalModule(*document, "Ski"));
    EXPECT_FALSE(FindLocalModule(*document, "say \"hi\""));
    EXPECT_FALSE(FindLocalModule(*document, "\"] | //Module[@ModuleName=\"Skin"));
}

TEST(ManifestComparisonTest, WholeCopyIsCurrentWhenNotOlder) {
    const auto server = Parsed("<r><Version_File Update=\"2008-05-20\"/></r>");
    EXPECT_TRUE(
        IsLocalCopyCurrent(Parsed("<r><Version_File Update=\"2008-05-20\"/></r>").get(), *server));
    EXPECT_TRUE(
        IsLocalCopyCurrent(Parsed("<r><Version_File Update=\"2009-01-01\"/></r>").get(), *server));
    EXPECT_FALSE(
        IsLocalCopyCurrent(Parsed("<r><Version_File Update=\"2008-05-19\"/></r>").get(), *server));
    EXPECT_FALSE(IsLocalCopyCurrent(nullptr, *server));
    // A server manifest without a Version_File has stamp 0: any local copy is current.
    EXPECT_TRUE(IsLocalCopyCurrent(Parsed("<r/>").get(), *Parsed("<r><Module/></r>")));
}

TEST(ManifestComparisonTest, ModuleIsSkippedOnlyWhenStrictlyNewerLocally) {
    const auto local = Parsed(
        "<r><Version_File Update=\"2008-06-01\"/>"
        "<Module ModuleName=\"A\" Update=\"2008-05-20\"/><Module ModuleName=\"B\" "
        "Update=\"\"/><Module Update=\"2030-01-01\"/></r>");
    const auto server = Parsed(
        "<r><Module ModuleName=\"A\" Update=\"2008-05-20\"/>"
        "<Module ModuleName=\"A\" Update=\"2008-05-19\"/>"
        "<Module ModuleName=\"B\" Update=\"2008-05-31\"/>"
        "<Module ModuleName=\"B\" Update=\"2008-06-01\"/>"
        "<Module ModuleName=\"a\" Update=\"2000-01-01\"/>"
        "<Module ModuleName=\"C\" Update=\"2000-01-01\"/>"
        "<Module ModuleName=\"A\" Update=\"\"/><Module Update=\"2000-01-01\"/></r>");
    CXmlNodeList modules = server->SelectNodes("descendant::Module");
    const bool expected[] = {true, false, false, true, true, true, true, true};
    ASSERT_EQ(modules.Length(), 8);
    const LocalModules localModules(local.get());
    const LocalModules noCopy(nullptr);
    for (long i = 0; i < modules.Length(); ++i) {
        EXPECT_EQ(localModules.NeedsDownload(modules.Item(i)), expected[i]) << i;
        EXPECT_TRUE(noCopy.NeedsDownload(modules.Item(i))) << i;
    }
}

}  // namespace
}  // namespace zn
