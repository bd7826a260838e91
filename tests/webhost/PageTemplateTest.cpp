#include "PageTemplate.h"

#include <gtest/gtest.h>

namespace zn::webhost {
namespace {

TEST(PageTemplateTest, EscapesEveryCharacterThatOpensMarkupOrEndsAnAttribute) {
    EXPECT_EQ(EscapeHtml(R"(<a href="x" title='y'>&</a>)"),
              "&lt;a href=&quot;x&quot; title=&#39;y&#39;&gt;&amp;&lt;/a&gt;");
    EXPECT_EQ(EscapeHtml("座位 A08"), "座位 A08");
}

TEST(PageTemplateTest, FillsEscapedAndRawValues) {
    const PageValues values{{"seat", "<b>A08</b>"}, {"rows", "<tr></tr>"}};
    EXPECT_EQ(RenderTemplate("<p>{{seat}}</p>{{&rows}}", values),
              "<p>&lt;b&gt;A08&lt;/b&gt;</p><tr></tr>");
    EXPECT_EQ(RenderTemplate("[{{unknown}}]", values), "[]");
    EXPECT_EQ(RenderTemplate("a {{seat", values), "a {{seat");
}

TEST(PageTemplateTest, ValuesAreNotRenderedAgain) {
    const PageValues values{{"seat", "{{secret}}"}, {"secret", "x"}};
    EXPECT_EQ(RenderTemplate("{{seat}}", values), "{{secret}}");
}

TEST(PageTemplateTest, BoundedTextNeverSplitsACharacter) {
    EXPECT_EQ(BoundedText("abc", 5), "abc");
    EXPECT_EQ(BoundedText("abcdef", 3), "abc");
    // "交易" is two three-byte characters: four bytes keep only the first.
    EXPECT_EQ(BoundedText("交易", 4), "交");
    EXPECT_EQ(BoundedText("交易", 2), "");
}

}  // namespace
}  // namespace zn::webhost
