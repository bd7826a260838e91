#include "platform/EscapedText.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/Log.h"

namespace zn {
namespace {

// "你好" in code page 936: its bytes are no UTF-8, and no control byte either.
const std::string kGbkText = "\xc4\xe3\xba\xc3";

TEST(EscapedTextTest, UntrustedTextCannotForgeLinesOrFloodTheLog) {
    EXPECT_EQ(EscapeControlBytes("O123\n2026-12-07 error: forged\r\t\x01\x1b[2J\x7f"),
              "O123\\n2026-12-07 error: forged\\r\\t\\x01\\x1b[2J\\x7f");
    EXPECT_EQ(EscapeControlBytes("张三 " + kGbkText), "张三 " + kGbkText);
    const std::string windowsPath = "skin\\new\\x41.txt";
    EXPECT_EQ(EscapeControlBytes(windowsPath), windowsPath);
    EXPECT_EQ(EscapeControlBytes(EscapeControlBytes("a\nb")), "a\\nb") << "escaped once only";

    EXPECT_EQ(log::Printable("O123\n2026-12-07 error: forged"), "O123\\n2026-12-07 error: forged");
    EXPECT_EQ(log::Printable(std::string(1000, 'A'), 10), "AAAAAAAAAA...");
    EXPECT_EQ(log::Printable("张三", 4), "张...") << "cut on a character boundary";
    EXPECT_EQ(log::Printable(std::string(10, '\n'), 2), "\\n\\n...") << "cut before escaping";
}

TEST(EscapedTextTest, TextThatIsReadAgainComesBackExactly) {
    const std::string hostile = "line\nbreak\\x41\\n\r\t\x01\x7f end\\" + kGbkText + "台";
    const std::string escaped = EscapeReversibly(hostile);
    EXPECT_EQ(escaped, "line\\nbreak\\\\x41\\\\n\\r\\t\\x01\\x7f end\\\\" + kGbkText + "台");
    EXPECT_EQ(UnescapeReversibly(escaped), hostile);
    EXPECT_EQ(UnescapeReversibly("\\x0A\\x0a"), "\n\n");

    for (const char* broken : {"end\\", "\\q", "\\x4", "\\x4g", "\\xg4", "\\x-1", "\\X41"}) {
        EXPECT_FALSE(UnescapeReversibly(broken)) << broken;
    }
}

}  // namespace
}  // namespace zn
