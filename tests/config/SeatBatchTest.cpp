#include "config/SeatBatch.h"

#include <gtest/gtest.h>

#include <climits>

namespace zn::config {
namespace {

TEST(SeatBatchTest, ConsecutiveAddressesGetConsecutiveSeatNumbers) {
    const SeatBatch batch{{192, 168, 1, 10}, {192, 168, 1, 12}, 5, "A", ""};
    EXPECT_EQ(BatchRows(batch),
              (std::vector<SeatRow>{
                  {"192.168.1.10", "A5"}, {"192.168.1.11", "A6"}, {"192.168.1.12", "A7"}}));
    EXPECT_EQ(BatchRows({{10, 0, 0, 7}, {10, 0, 0, 7}, -1, "", "号"}),
              (std::vector<SeatRow>{{"10.0.0.7", "-1号"}}));
}

TEST(SeatBatchTest, CountFollowsTheLastOctetsOnly) {
    EXPECT_EQ(BatchCount({10, 0, 0, 5}, {10, 0, 0, 9}), 5);
    EXPECT_EQ(BatchCount({10, 0, 0, 9}, {10, 0, 0, 5}), 0) << "an end below the start";
    EXPECT_EQ(BatchCount({10, 0, 0, 0}, {10, 0, 0, 255}), 256);
    EXPECT_TRUE(BatchRows({{10, 0, 0, 9}, {10, 0, 0, 5}, 1, "", ""}).empty());
    const auto whole = BatchRows({{10, 0, 0, 0}, {10, 0, 0, 255}, 1, "", ""});
    ASSERT_EQ(whole.size(), 256u);
    EXPECT_EQ(whole.back(), (SeatRow{"10.0.0.255", "256"}));
}

TEST(SeatBatchTest, SeatNumbersPastTheIntegerRangeGoOnCounting) {
    const auto rows = BatchRows({{10, 0, 0, 1}, {10, 0, 0, 2}, INT_MAX, "", ""});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].seat, "2147483648") << "not a negative number";
}

TEST(SeatBatchTest, TheChangedAddressCarriesItsBlockIntoTheOther) {
    EXPECT_EQ(InBlockOf({10, 0, 0, 5}, {192, 168, 1, 9}), (Ipv4Octets{10, 0, 0, 9}));
}

TEST(SeatBatchTest, StartSeatNumberIsReadAsTheFrameworkReadsAnInteger) {
    EXPECT_EQ(ParseInteger("12"), 12);
    EXPECT_EQ(ParseInteger(" \t-7 "), -7);
    EXPECT_EQ(ParseInteger("+5"), 5);
    EXPECT_EQ(ParseInteger("-2147483648"), INT_MIN);
    for (const char* refused : {"", "  ", "abc", "1.5", "12a", "0x10", "+-1", "2147483648",
                                "-2147483649", "1 2", "１２"}) {
        EXPECT_EQ(ParseInteger(refused), std::nullopt) << refused;
    }
}

TEST(Ipv4FieldsTest, DottedTextHasNoLeadingZeros) {
    EXPECT_EQ(DottedText({192, 168, 0, 10}), "192.168.0.10");
    EXPECT_EQ(DottedText({0, 0, 0, 0}), "0.0.0.0");
}

TEST(Ipv4FieldsTest, FieldsAreScannedLikeDottedNumbersAndOutOfRangeOnesStayBlank) {
    using F = Ipv4Fields;
    EXPECT_EQ(DottedFields("192.168.1.10"), (F{192, 168, 1, 10}));
    EXPECT_EQ(DottedFields(""), (F{}));
    EXPECT_EQ(DottedFields("1.2"), (F{1, 2, std::nullopt, std::nullopt}));
    EXPECT_EQ(DottedFields("300.1.2.3"), (F{std::nullopt, 1, 2, 3}));
    EXPECT_EQ(DottedFields("-1.2.3.4"), (F{std::nullopt, 2, 3, 4}));
    EXPECT_EQ(DottedFields(" 1. 2.3.4"), (F{1, 2, 3, 4}));
    EXPECT_EQ(DottedFields("a.b.c.d"), (F{}));
    EXPECT_EQ(DottedFields("1..3.4"), (F{1, std::nullopt, std::nullopt, std::nullopt}));
    EXPECT_EQ(DottedFields("99999999999999999999999.1.1.1"), (F{std::nullopt, 1, 1, 1}));
}

}  // namespace
}  // namespace zn::config
