#include "gui/PageOrigin.h"

#include <gtest/gtest.h>

#include "Sandbox.h"

namespace zn::gui {
namespace {

bool Allowed(const PageOrigins& origins, const char* url) {
    return IsAllowedOrigin(origins, QUrl(QString::fromUtf8(url)));
}

TEST(PageOriginTest, AnAddressAdmitsItsSchemeHostAndPort) {
    const PageOrigins shop{{"http://Shop.test/wb/indexc.jsp?x=1"}, {}, {}};
    EXPECT_TRUE(Allowed(shop, "http://shop.test/other/page.html"));
    EXPECT_TRUE(Allowed(shop, "http://SHOP.test:80/"));
    EXPECT_FALSE(Allowed(shop, "http://shop.test:8080/"));
    EXPECT_FALSE(Allowed(shop, "https://shop.test/"));
    EXPECT_FALSE(Allowed(shop, "http://evil.test/?http://shop.test/"));
    EXPECT_FALSE(Allowed(shop, "http://shop.test.evil.test/"));
}

TEST(PageOriginTest, ADomainAdmitsItselfAndItsSubdomainsOnTheWebOnly) {
    const PageOrigins trusted{{}, {"pay.shop.test"}, {}};
    EXPECT_TRUE(Allowed(trusted, "https://pay.shop.test:8443/x"));
    EXPECT_TRUE(Allowed(trusted, "http://a.pay.shop.test/"));
    EXPECT_FALSE(Allowed(trusted, "http://evilpay.shop.test/"));
    EXPECT_FALSE(Allowed(trusted, "http://shop.test/"));
    EXPECT_FALSE(Allowed(trusted, "ftp://pay.shop.test/"));
    EXPECT_FALSE(Allowed(PageOrigins{{}, {""}, {}}, "http://anything.test/"));
}

TEST(PageOriginTest, AFolderAdmitsTheFilesInsideIt) {
    zn::test::Sandbox sandbox;
    const auto own = sandbox.WriteFile("seat/MyZentrova2.html", "x").parent_path();
    sandbox.WriteFile("seat2/page.html", "x");
    const PageOrigins seat{{}, {}, {own}};
    const auto file = [&](const std::string& relative) {
        return IsAllowedOrigin(
            seat,
            QUrl::fromLocalFile(QString::fromStdString((sandbox.Path() / relative).string())));
    };
    EXPECT_TRUE(file("seat/MyZentrova2.html"));
    EXPECT_TRUE(file("seat/sub/../MyZentrova2.html"));
    EXPECT_FALSE(file("seat/../seat2/page.html"));
    EXPECT_FALSE(file("seat2/page.html")) << "a folder whose name only begins alike";
    EXPECT_FALSE(file("seat"));
    EXPECT_FALSE(Allowed(seat, "http://localhost/"));
}

}  // namespace
}  // namespace zn::gui
