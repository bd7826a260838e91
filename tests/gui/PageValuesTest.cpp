#include "gui/PageValues.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>

#include <string>
#include <vector>

#include "gui/PageBridge.h"

namespace zn::gui {
namespace {

TEST(PageValuesTest, MissingIdsReadEmptyAndTheFirstValueOfAnIdWins) {
    PageValues values;
    EXPECT_TRUE(values.Add("PlatformId", "murvel"));
    EXPECT_FALSE(values.Add("PlatformId", "other"));
    EXPECT_EQ(values.Get("PlatformId"), "murvel");
    EXPECT_EQ(values.Get("CustomerId"), "");
    EXPECT_FALSE(values.Add("", "x"));
}

TEST(PageValuesTest, LongValuesAreCutOnACharacterBoundary) {
    PageValues values;
    // "中" is three bytes, so the bound falls inside a character.
    std::string chinese;
    while (chinese.size() < PageValues::kMaxValueBytes + 10) {
        chinese += "中";
    }
    ASSERT_TRUE(values.Add("title", chinese));
    const std::string& kept = values.Get("title");
    EXPECT_LE(kept.size(), PageValues::kMaxValueBytes);
    EXPECT_GT(kept.size(), PageValues::kMaxValueBytes - 3);
    EXPECT_EQ(kept.size() % 3, 0u);
    EXPECT_EQ(kept, chinese.substr(0, kept.size()));
}

TEST(PageValuesTest, IdsAndTotalSizeAreBounded) {
    PageValues values;
    EXPECT_FALSE(values.Add(std::string(PageValues::kMaxIdBytes + 1, 'i'), "v"));
    EXPECT_TRUE(values.Add(std::string(PageValues::kMaxIdBytes, 'i'), "v"));

    PageValues many;
    for (std::size_t i = 0; i < PageValues::kMaxIds + 10; ++i) {
        many.Add("id" + std::to_string(i), "v");
    }
    EXPECT_EQ(many.Count(), PageValues::kMaxIds);
    EXPECT_EQ(many.Get("id" + std::to_string(PageValues::kMaxIds)), "");

    PageValues big;
    const std::string value(PageValues::kMaxValueBytes, 'x');
    for (std::size_t i = 0; i < PageValues::kMaxIds; ++i) {
        big.Add("id" + std::to_string(i), value);
    }
    EXPECT_LT(big.Count(), PageValues::kMaxTotalBytes / PageValues::kMaxValueBytes + 1);
    EXPECT_GT(big.Count(), 0u);
}

// The bridge is what any script of the page can call directly, bypassing the forwarder's bounds.
class PageBridgeTest : public testing::Test {
protected:
    PageBridge m_bridge{[this](std::string id, PageValues values) {
                            m_ids.push_back(std::move(id));
                            m_values.push_back(std::move(values));
                        },
                        nullptr};
    std::vector<std::string> m_ids;
    std::vector<PageValues> m_values;
};

TEST_F(PageBridgeTest, OnlyBoundIdsPass) {
    m_bridge.SetBoundIds({"ButtonOK"});
    m_bridge.click(QJsonValue("ButtonFree"), QJsonObject{}, {});
    m_bridge.click(QJsonValue(42), QJsonObject{}, {});
    m_bridge.click(QJsonValue(QJsonArray{"ButtonOK"}), QJsonObject{}, {});
    m_bridge.click(QJsonValue("ButtonOK"), QJsonValue("not an object"), {});
    ASSERT_EQ(m_ids, std::vector<std::string>{"ButtonOK"});
    EXPECT_EQ(m_values[0].Count(), 0u);
}

TEST_F(PageBridgeTest, OnlyBodyIdsKeepABoundedBody) {
    m_bridge.SetBoundIds({"ButtonOK", "ButtonOnCommitSuccess"}, {"ButtonOnCommitSuccess"});
    m_bridge.click(QJsonValue("ButtonOK"), QJsonObject{}, QJsonValue("<body>a</body>"));
    m_bridge.click(QJsonValue("ButtonOnCommitSuccess"), QJsonObject{}, QJsonValue(7));
    m_bridge.click(QJsonValue("ButtonOnCommitSuccess"), QJsonObject{},
                   QJsonValue(QString(PageValues::kMaxBodyChars + 1, QLatin1Char('x'))));
    m_bridge.click(QJsonValue("ButtonOnCommitSuccess"), QJsonObject{}, QJsonValue(false));
    m_bridge.click(QJsonValue("ButtonOnCommitSuccess"), QJsonObject{},
                   QJsonValue("<body>页</body>"));
    ASSERT_EQ(m_values.size(), 5u);
    EXPECT_FALSE(m_values[0].Body()) << "not a body id";
    EXPECT_FALSE(m_values[1].Body()) << "not a text";
    EXPECT_FALSE(m_values[1].BodyTooLarge());
    EXPECT_FALSE(m_values[2].Body()) << "too long";
    EXPECT_TRUE(m_values[2].BodyTooLarge());
    EXPECT_TRUE(m_values[3].BodyTooLarge()) << "the script's mark of a body over the cap";
    EXPECT_EQ(m_values[4].Body(), "<body>页</body>");
    EXPECT_FALSE(m_values[4].BodyTooLarge());
}

TEST_F(PageBridgeTest, HostileValuesAreBounded) {
    m_bridge.SetBoundIds({"ButtonOK"});
    QJsonObject values;
    values["PlatformId"] = "murvel";
    values["huge"] = QString(1024 * 1024, QLatin1Char('x'));
    values["Number"] = 5;
    values[QString(PageValues::kMaxIdBytes + 1, QLatin1Char('i'))] = "long id";
    for (int i = 0; i < 6000; ++i) {
        values[QStringLiteral("many%1").arg(i)] = "v";
    }
    m_bridge.click(QJsonValue("ButtonOK"), values, {});
    ASSERT_EQ(m_values.size(), 1u);
    const PageValues& kept = m_values[0];
    EXPECT_EQ(kept.Get("PlatformId"), "murvel");
    EXPECT_EQ(kept.Get("huge").size(), PageValues::kMaxValueBytes);
    EXPECT_EQ(kept.Get("Number"), "");
    EXPECT_LE(kept.Count(), PageValues::kMaxIds);
}

}  // namespace
}  // namespace zn::gui
