#include "console/SeatList.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "Sandbox.h"

namespace zn::console {
namespace {

class SeatListTest : public ::testing::Test {
protected:
    void WriteSeatList(std::string_view xml) { sandbox.WriteFile("SeatList.xml", xml); }
    std::string LookUp(std::string_view address) { return LookUpSeat(sandbox.Path(), address); }

    test::Sandbox sandbox;
};

TEST_F(SeatListTest, FirstMatchInDocumentOrderWins) {
    WriteSeatList(
        "<SeatList><Seat IP=\"192.168.0.5\">A1</Seat><Seat IP=\"192.168.0.5\">A2</Seat>"
        "<Seat IP=\"192.168.0.6\">二号</Seat><Seat IP=\"192.168.0.7\"></Seat></SeatList>");
    EXPECT_EQ(LookUp("192.168.0.5"), "A1");
    EXPECT_EQ(LookUp("192.168.0.6"), "二号");
    EXPECT_EQ(LookUp("192.168.0.7"), "") << "an empty seat number stays empty";
    EXPECT_EQ(LookUp("192.168.0.8"), "");
}

TEST_F(SeatListTest, AddressesCompareAsText) {
    WriteSeatList("<SeatList><Seat IP=\"192.168.0.5\">A1</Seat></SeatList>");
    EXPECT_EQ(LookUp("192.168.000.5"), "");
    EXPECT_EQ(LookUp("192.168.0.05"), "");
    EXPECT_EQ(LookUp(" 192.168.0.5"), "");
    EXPECT_EQ(LookUp("192.168.0.5"), "A1");
}

TEST_F(SeatListTest, AnAddressThatBreaksTheQueryFindsNothing) {
    WriteSeatList("<SeatList><Seat IP=\"1\">A1</Seat><Seat IP=\"\">E</Seat></SeatList>");
    EXPECT_EQ(LookUp("1\"]"), "");
    EXPECT_EQ(LookUp("\""), "");
    EXPECT_EQ(LookUp("1\"\""), "");
}

TEST_F(SeatListTest, AnEditedFileCountsAtTheNextLookUp) {
    WriteSeatList("<SeatList><Seat IP=\"10.0.0.1\">A1</Seat></SeatList>");
    EXPECT_EQ(LookUp("10.0.0.1"), "A1");
    WriteSeatList("<SeatList><Seat IP=\"10.0.0.1\">B7</Seat></SeatList>");
    EXPECT_EQ(LookUp("10.0.0.1"), "B7");
}

TEST_F(SeatListTest, SeatNumbersOfAHandIndentedFileKeepNoSurroundingWhiteSpace) {
    WriteSeatList(
        "<SeatList>\n  <Seat IP=\"10.0.0.1\">\n    A 1\n  </Seat>\n"
        "  <Seat IP=\"10.0.0.2\">\r\n\t</Seat>\n</SeatList>\n");
    EXPECT_EQ(LookUp("10.0.0.1"), "A 1");
    EXPECT_EQ(LookUp("10.0.0.2"), "");
}

TEST_F(SeatListTest, ASettledFileIsParsedOnceAndAnEditStillCountsAtTheNextLookUp) {
    const auto file = sandbox.WriteFile("SeatList.xml",
                                        "<SeatList><Seat IP=\"10.0.0.1\">A1</Seat>"
                                        "<Seat>no address</Seat></SeatList>");
    const auto anHourAgo = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    std::filesystem::last_write_time(file, anHourAgo);
    SeatListCache cache;

    EXPECT_EQ(cache.LookUp(file, "10.0.0.1"), "A1");
    EXPECT_EQ(cache.LookUp(file, "10.0.0.2"), "");
    EXPECT_EQ(cache.LookUp(file, ""), "") << "a Seat without an address matches no look-up";
    EXPECT_EQ(cache.Parses(), 1u);

    // Same size, and a modification time as old as the first one's but for a second.
    sandbox.WriteFile("SeatList.xml",
                      "<SeatList><Seat IP=\"10.0.0.1\">B7</Seat>"
                      "<Seat>no address</Seat></SeatList>");
    std::filesystem::last_write_time(file, anHourAgo + std::chrono::seconds(1));
    EXPECT_EQ(cache.LookUp(file, "10.0.0.1"), "B7");
    EXPECT_EQ(cache.Parses(), 2u);

    std::filesystem::remove(file);
    EXPECT_EQ(cache.LookUp(file, "10.0.0.1"), "") << "a removed file finds nothing";
}

TEST_F(SeatListTest, AnAccessorThatDidNotLoadFindsNothing) {
    CSeatList seats;
    EXPECT_EQ(seats.LookUp("10.0.0.1"), "") << "never opened";
    EXPECT_NE(seats.Open(sandbox.Path()), 0) << "no file";
    EXPECT_EQ(seats.LookUp("10.0.0.1"), "");
    WriteSeatList("<SeatList><Seat IP=\"10.0.0.1\">A1</Seat></SeatList>");
    EXPECT_EQ(seats.Open(sandbox.Path()), 0);
    EXPECT_EQ(seats.LookUp("10.0.0.1"), "A1");
    seats.Close();
    EXPECT_EQ(seats.LookUp("10.0.0.1"), "");
}

TEST_F(SeatListTest, BrokenFilesFindNothing) {
    WriteSeatList("<SeatList></SeatList>");
    EXPECT_EQ(LookUp("10.0.0.1"), "");

    WriteSeatList("<SeatList><Seat IP=\"10.0.0.1\">A1</Seat>");
    EXPECT_EQ(LookUp("10.0.0.1"), "");

    {
        std::ofstream out(sandbox.Path() / "SeatList.xml", std::ios::binary | std::ios::trunc);
        out << "<SeatList><Seat IP=\"10.0.0.1\">A1</Seat>";
        out << std::string(17 * 1024 * 1024, ' ') << "</SeatList>";
    }
    EXPECT_EQ(LookUp("10.0.0.1"), "") << "a huge file is not loaded";

    std::filesystem::remove(sandbox.Path() / "SeatList.xml");
    std::filesystem::create_directory(sandbox.Path() / "SeatList.xml");
    EXPECT_EQ(LookUp("10.0.0.1"), "");
}

}  // namespace
}  // namespace zn::console
