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

// The fault: an operator's host that moved its login page to https or to a "www." host had every
// click refused, so the console never logged in.
TEST(PageOriginTest, ASiteAdmitsItsTwinAndTheHostsOfItsRegistrableDomain) {
    PageOrigins backOffice;
    backOffice.sites = {"http://bo.example.com.cn/wb/loginsyt.jsp", "http://10.1.2.3:8080/wb/x.jsp",
                        "http://backoffice/wb/x.jsp"};
    EXPECT_TRUE(Allowed(backOffice, "http://bo.example.com.cn/other"));
    EXPECT_TRUE(Allowed(backOffice, "https://bo.example.com.cn/wb/loginsyt.jsp"));
    EXPECT_TRUE(Allowed(backOffice, "https://www.example.com.cn:8443/"));
    EXPECT_TRUE(Allowed(backOffice, "http://EXAMPLE.com.cn/"));
    EXPECT_TRUE(Allowed(backOffice, "https://10.1.2.3:8080/")) << "the twin keeps the port";
    EXPECT_TRUE(Allowed(backOffice, "https://backoffice/"));
    EXPECT_FALSE(Allowed(backOffice, "http://evil.com.cn/")) << "com.cn is a public suffix";
    EXPECT_FALSE(Allowed(backOffice, "http://example.com.cn.evil.test/"));
    EXPECT_FALSE(Allowed(backOffice, "http://10.1.2.4:8080/")) << "addresses have no domain";
    EXPECT_FALSE(Allowed(backOffice, "https://10.1.2.3/"));
    EXPECT_FALSE(Allowed(backOffice, "http://other/")) << "nor have one-label names";
    EXPECT_FALSE(Allowed(backOffice, "ftp://bo.example.com.cn/"));

    PageOrigins ownSuffix;
    ownSuffix.sites = {"http://com.cn/"};
    EXPECT_FALSE(Allowed(ownSuffix, "http://shop.com.cn/")) << "a suffix is no registrable domain";
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
