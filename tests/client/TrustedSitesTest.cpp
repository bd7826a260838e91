#include "client/TrustedSites.h"

#include <gtest/gtest.h>

#include <string>

#include "Sandbox.h"
#include "platform/Registry.h"

namespace zn::client {
namespace {

class TrustedSitesTest : public ::testing::Test {
protected:
    std::optional<std::uint32_t> Zone(const std::string& below) const {
        const auto key = m_registry.OpenKey(RegistryRoot::CurrentUser,
                                            std::string(kZoneMapDomains) + "\\" + below);
        return key ? key->QueryDword("*") : std::nullopt;
    }

    std::string File() const {
        return test::ReadFile(m_registry.FileOf(RegistryRoot::CurrentUser)).value_or("");
    }

    static std::size_t Occurrences(const std::string& text, const std::string& part) {
        std::size_t count = 0;
        for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
            ++count;
        }
        return count;
    }

    test::Sandbox m_sandbox;
    Registry m_registry{m_sandbox.RegistryFolder()};
};

TEST_F(TrustedSitesTest, DomainAndHostKeysHoldTheTrustedZoneForEveryProtocol) {
    EXPECT_TRUE(RegisterTrustedDomain(m_registry, "shop.example"));
    EXPECT_TRUE(RegisterTrustedHost(m_registry, "pay", "cafe.example"));
    EXPECT_EQ(Zone("shop.example"), 2u);
    EXPECT_EQ(Zone("cafe.example\\pay"), 2u);
    EXPECT_EQ(Zone("cafe.example"), std::nullopt) << "the domain key itself gets no value";
}

TEST_F(TrustedSitesTest, RegisteringAgainRewritesTheSameEntry) {
    ASSERT_TRUE(RegisterTrustedDomain(m_registry, "shop.example"));
    const std::string once = File();
    ASSERT_TRUE(RegisterTrustedDomain(m_registry, "shop.example"));
    EXPECT_EQ(File(), once);
    EXPECT_EQ(Occurrences(File(), "\"*\"="), 1u);
}

TEST_F(TrustedSitesTest, PathsOverTheBufferAreNotRegistered) {
    // kZoneMapDomains + "\" + domain: exactly 259 bytes fit, one more does not.
    const std::size_t room = kMaxZoneKeyPathBytes - kZoneMapDomains.size() - 1;
    EXPECT_TRUE(RegisterTrustedDomain(m_registry, std::string(room, 'a')));
    EXPECT_FALSE(RegisterTrustedDomain(m_registry, std::string(room + 1, 'b')));
    EXPECT_FALSE(RegisterTrustedHost(m_registry, std::string(room, 'c'), "d"));
    EXPECT_EQ(File().find("bbb"), std::string::npos);
    EXPECT_EQ(File().find("ccc"), std::string::npos);
}

TEST_F(TrustedSitesTest, NamesThatCannotBeStoredAreRefused) {
    EXPECT_FALSE(RegisterTrustedHost(m_registry, "a\nb", "evil.example"));
    EXPECT_FALSE(RegisterTrustedDomain(m_registry, ""));
    EXPECT_EQ(File().find("evil.example"), std::string::npos);
}

TEST(TrustSitesParseTest, TokensPairUpAsHostPartThenDomain) {
    EXPECT_EQ(ParseTrustSites("A$D$B$D"), (std::vector<TrustedSite>{{"A", "D"}, {"B", "D"}}));
    EXPECT_EQ(ParseTrustSites("$$A$$$D$"), (std::vector<TrustedSite>{{"A", "D"}}))
        << "runs of '$' are one separator, and edges are ignored";
    EXPECT_EQ(ParseTrustSites("A$D$B"), (std::vector<TrustedSite>{{"A", "D"}}))
        << "a token without a partner is dropped";
    EXPECT_TRUE(ParseTrustSites("A").empty());
    EXPECT_TRUE(ParseTrustSites("").empty());
    EXPECT_TRUE(ParseTrustSites("$$$").empty());
}

TEST(TrustSitesParseTest, APageCannotListSitesWithoutEnd) {
    std::string text;
    for (std::size_t i = 0; i < kMaxTrustSitePairs + 10; ++i) {
        text += "h" + std::to_string(i) + "$d$";
    }
    const auto sites = ParseTrustSites(text);
    ASSERT_EQ(sites.size(), kMaxTrustSitePairs);
    EXPECT_EQ(sites.back().hostPart, "h" + std::to_string(kMaxTrustSitePairs - 1));
}

TEST_F(TrustedSitesTest, PageValueRegistersEachPairDomainFirst) {
    EXPECT_EQ(RegisterTrustSites(m_registry, "A$D$B$D"),
              (std::vector<TrustedSite>{{"A", "D"}, {"B", "D"}}));
    EXPECT_EQ(Zone("D\\A"), 2u);
    EXPECT_EQ(Zone("D\\B"), 2u);
    EXPECT_EQ(Zone("A\\D"), std::nullopt);

    EXPECT_TRUE(RegisterTrustSites(m_registry, "single").empty());
    EXPECT_TRUE(RegisterTrustSites(m_registry, "").empty());
    EXPECT_EQ(File().find("single"), std::string::npos);
}

}  // namespace
}  // namespace zn::client
