#include "platform/TextCodec.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using namespace zn::TextCodec;
using namespace std::string_literals;

std::vector<std::byte> Bytes(std::initializer_list<unsigned char> values) {
    std::vector<std::byte> bytes;
    for (const unsigned char value : values) {
        bytes.push_back(static_cast<std::byte>(value));
    }
    return bytes;
}

std::vector<std::byte> Bytes(const std::string& text) {
    const auto* data = reinterpret_cast<const std::byte*>(text.data());
    return std::vector<std::byte>(data, data + text.size());
}

TEST(TextCodecTest, ConvertsChineseBothWaysInGbkAndGb2312) {
    const std::string utf8 = "你好，收银台 abc";
    const std::string gbk = "\xC4\xE3\xBA\xC3\xA3\xAC\xCA\xD5\xD2\xF8\xCC\xA8 abc";
    EXPECT_EQ(Utf8ToGbk(utf8), gbk);
    EXPECT_EQ(GbkToUtf8(gbk), utf8);
    // These characters lie inside GB2312, where both encodings agree.
    EXPECT_EQ(Utf8ToGb2312(utf8), gbk);
    EXPECT_EQ(Gb2312ToUtf8(gbk), utf8);
}

TEST(TextCodecTest, Gb2312IsTheWindowsCodePageGbkCutToGb2312Rows) {
    // iconv's own GB2312 table has no · (A1A4) and no — (A1AA).
    EXPECT_EQ(Utf8ToGb2312("张三·李四—订单"), Utf8ToGbk("张三·李四—订单"));
    EXPECT_EQ(Utf8ToGb2312("·—"), "\xA1\xA4\xA1\xAA");
    EXPECT_EQ(Gb2312ToUtf8("\xA1\xA4\xA1\xAA"), "·—");
    // GBK's rows outside GB2312 are not characters here.
    EXPECT_EQ(Gb2312ToUtf8("\xF8\xA1"
                           "A\xB0"),
              "?A?");
}

TEST(TextCodecTest, KeepsEmbeddedNulBytes) {
    // Wire bodies carry their terminating NUL through the conversion.
    EXPECT_EQ(Utf8ToGbk("成功\0x"s), "\xB3\xC9\xB9\xA6\0x"s);
    EXPECT_EQ(GbkToUtf8("a\0b\0"s), "a\0b\0"s);
    EXPECT_EQ(Utf8ToUtf16Le("h\0"s), Bytes({'h', 0, 0, 0}));
}

TEST(TextCodecTest, ReplacesEachCharacterTheTargetCannotHoldWithOneQuestionMark) {
    // "們" and "镕" exist in GBK but not in GB2312; the emoji exists in neither.
    EXPECT_EQ(Utf8ToGbk("們镕"), "\x82\x83\xE9\x46");
    EXPECT_EQ(Utf8ToGb2312("們镕"), "??");
    EXPECT_EQ(Utf8ToGb2312("a們b"), "a?b");
    EXPECT_EQ(Utf8ToGbk("x😀y"), "x?y");
    EXPECT_EQ(Utf8ToGb2312("€"), "?");
}

TEST(TextCodecTest, ReplacesInvalidUtf8ByteByByte) {
    EXPECT_EQ(Utf8ToGbk("a\xFF"
                        "b"),
              "a?b");
    EXPECT_EQ(Utf8ToGbk("a\xE4\xBD"), "a??");     // cut off at the end
    EXPECT_EQ(Utf8ToGbk("\xC0\xAF"), "??");       // overlong '/'
    EXPECT_EQ(Utf8ToGbk("\xED\xA0\x80"), "???");  // an encoded surrogate
    EXPECT_EQ(Utf8ToGbk("\x80"
                        "abc"),
              "?abc");
    EXPECT_EQ(Utf8ToUtf16Le("\xFF"
                            "a"),
              Bytes({'?', 0, 'a', 0}));
}

TEST(TextCodecTest, ReplacesInvalidGbkAndGb2312Input) {
    EXPECT_EQ(GbkToUtf8("a\xFF"
                        "b"),
              "a?b");
    EXPECT_EQ(GbkToUtf8("ab\x81"), "ab?");  // a lead byte without its trail
    // A lead byte before a byte that cannot trail it does not swallow that byte.
    EXPECT_EQ(GbkToUtf8("\x81"
                        "0"),
              "?0");
    // A well-formed pair without a character is one character.
    EXPECT_EQ(GbkToUtf8("\xAA\xA1"
                        "A"),
              "?A");
    EXPECT_EQ(Gb2312ToUtf8("\x82\x83"), "??");  // GBK-only bytes
    EXPECT_EQ(Gb2312ToUtf8("\xAA\xA1"
                           "A"),
              "?A");
}

TEST(TextCodecTest, ConvertsUtf16LeWithSurrogatePairs) {
    EXPECT_EQ(Utf8ToUtf16Le("hi"), Bytes({'h', 0, 'i', 0}));
    EXPECT_EQ(Utf8ToUtf16Le("你😀"), Bytes({0x60, 0x4F, 0x3D, 0xD8, 0x00, 0xDE}));
    EXPECT_EQ(Utf16LeToUtf8(Bytes({0x60, 0x4F, 0x3D, 0xD8, 0x00, 0xDE})), "你😀");
    EXPECT_EQ(Utf16LeToUtf8(Bytes({'h', 0, 'i', 0, 0, 0})), "hi\0"s);
}

TEST(TextCodecTest, ReplacesUnpairedSurrogatesAndDropsAnOddTrailingByte) {
    EXPECT_EQ(Utf16LeToUtf8(Bytes({0x3D, 0xD8, 'A', 0})), "?A");  // high, then no low
    EXPECT_EQ(Utf16LeToUtf8(Bytes({0x00, 0xDE, 'A', 0})), "?A");  // low alone
    EXPECT_EQ(Utf16LeToUtf8(Bytes({'A', 0, 0x3D, 0xD8})), "A?");  // high at the end
    EXPECT_EQ(Utf16LeToUtf8(Bytes({0x3D, 0xD8, 0x3D, 0xD8, 0x00, 0xDE})), "?😀");
    EXPECT_EQ(Utf16LeToUtf8(Bytes({'h', 0, 'i'})), "h");
    EXPECT_EQ(Utf16LeToUtf8(Bytes({'h'})), "");
    EXPECT_EQ(Utf16LeToUtf8({}), "");
    EXPECT_EQ(Utf8ToGbk(""), "");
}

TEST(TextCodecTest, OutputOfHostileInputStaysProportionalToIt) {
    const std::size_t size = 256 * 1024;
    EXPECT_EQ(GbkToUtf8(std::string(size, '\xFF')), std::string(size, '?'));
    EXPECT_EQ(Utf8ToGbk(std::string(size, '\x80')), std::string(size, '?'));
    EXPECT_EQ(Utf8ToUtf16Le(std::string(size, '\xFE')).size(), 2 * size);
    std::string surrogates;
    for (std::size_t i = 0; i < size / 2; ++i) {
        surrogates += "\x00\xDC"s;
    }
    EXPECT_EQ(Utf16LeToUtf8(Bytes(surrogates)), std::string(size / 2, '?'));
}

TEST(TextCodecTest, ThreadsConvertAtTheSameTime) {
    const std::string utf8 = "收银台 a們😀\xFF";
    const std::string expected = Utf8ToGb2312(utf8);
    std::vector<std::thread> threads;
    std::vector<int> mismatches(4, 0);
    for (std::size_t t = 0; t < mismatches.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 300; ++i) {
                if (Utf8ToGb2312(utf8) != expected || Gb2312ToUtf8(expected) != "收银台 a???") {
                    ++mismatches[t];
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

}  // namespace
