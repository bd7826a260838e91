// Signatures made by the minisign program against our check: both forms, tampering, keys.
#include <gtest/gtest.h>

#include <fstream>

#include "ReleaseSigner.h"
#include "Sandbox.h"
#include "update/ReleaseSignature.h"

namespace zn {
namespace {

class ReleaseSignatureTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_sandbox = new test::Sandbox();
        s_old = new test::ReleaseSigner(s_sandbox->Path() / "old");
        s_new = new test::ReleaseSigner(s_sandbox->Path() / "new");
    }
    static void TearDownTestSuite() {
        delete s_new;
        delete s_old;
        delete s_sandbox;
    }

    void SetUp() override { ASSERT_TRUE(s_old->Ok() && s_new->Ok()); }

    // The file "Version.xml" with the content, signed; the signature's text.
    static std::string Signed(const test::ReleaseSigner& signer, const std::string& content,
                              const test::SignOptions& options = {}) {
        const auto file = s_sandbox->WriteFile("Version.xml", content);
        EXPECT_TRUE(signer.Sign(file, options));
        return test::ReadFile(file.string() + ".minisig").value_or("");
    }

    static SignatureVerdict Verify(const std::string& signatureText, const std::string& keys,
                                   std::string_view content,
                                   std::string_view name = "Version.xml") {
        const auto signature = ParseReleaseSignature(signatureText);
        const auto trusted = ParseReleaseKeys(keys);
        EXPECT_TRUE(signature && trusted) << signatureText << "\n" << keys;
        return signature && trusted ? VerifyRelease(*signature, *trusted, name, content)
                                    : SignatureVerdict::BadSignature;
    }

    static inline test::Sandbox* s_sandbox = nullptr;
    static inline test::ReleaseSigner* s_old = nullptr;
    static inline test::ReleaseSigner* s_new = nullptr;
};

TEST_F(ReleaseSignatureTest, BothFormsHoldAndRefuseATamperedFile) {
    const std::string content = "<R><Version_File Update=\"2024-03-01\"/></R>";
    for (const bool legacy : {false, true}) {
        SCOPED_TRACE(legacy ? "legacy" : "prehashed");
        const std::string signature = Signed(*s_old, content, {.legacy = legacy});
        EXPECT_EQ(ParseReleaseSignature(signature)->prehashed, !legacy);
        EXPECT_EQ(Verify(signature, s_old->PublicKey(), content), SignatureVerdict::Valid);
        EXPECT_EQ(Verify(signature, s_old->PublicKey(), content + " "),
                  SignatureVerdict::BadSignature);
        EXPECT_EQ(
            Verify(signature, s_old->PublicKey(), "<R><Version_File Update=\"2099-03-01\"/></R>"),
            SignatureVerdict::BadSignature);
    }
}

TEST_F(ReleaseSignatureTest, AChangedTrustedCommentIsRefused) {
    const std::string content = "module";
    std::string signature = Signed(*s_old, content, {.trustedComment = "release 7"});
    EXPECT_EQ(ParseReleaseSignature(signature)->trustedComment, "release 7");
    signature.replace(signature.find("release 7"), 9, "release 8");
    EXPECT_EQ(Verify(signature, s_old->PublicKey(), content), SignatureVerdict::BadTrustedComment);
}

TEST_F(ReleaseSignatureTest, OnlyTrustedKeysCountAndTwoMayBeTrusted) {
    const std::string content = "module";
    const std::string byNew = Signed(*s_new, content);
    EXPECT_EQ(Verify(byNew, s_old->PublicKey(), content), SignatureVerdict::UnknownKey);
    EXPECT_EQ(Verify(byNew, s_old->PublicKey() + " " + s_new->PublicKey(), content),
              SignatureVerdict::Valid);
    EXPECT_EQ(Verify(byNew, s_new->PublicKey() + ",\r\n" + s_old->PublicKey(), content),
              SignatureVerdict::Valid);

    // A signature carrying a trusted key's id with another key's signature bytes.
    const std::string byOld = Signed(*s_old, content);
    auto forged = *ParseReleaseSignature(byNew);
    forged.keyId = ParseReleaseSignature(byOld)->keyId;
    EXPECT_EQ(VerifyRelease(forged, *ParseReleaseKeys(s_old->PublicKey()), "Version.xml", content),
              SignatureVerdict::BadSignature);
}

TEST_F(ReleaseSignatureTest, TheSignatureOfAnotherFileIsRefused) {
    const std::string signature = Signed(*s_old, "same bytes");
    EXPECT_EQ(Verify(signature, s_old->PublicKey(), "same bytes", "ContentUpdate.xml"),
              SignatureVerdict::WrongFile);
    // An operator's own trusted comment names no file: the name is not checked.
    const std::string own = Signed(*s_old, "same bytes", {.trustedComment = "release 7"});
    EXPECT_EQ(Verify(own, s_old->PublicKey(), "same bytes", "ContentUpdate.xml"),
              SignatureVerdict::Valid);
}

TEST_F(ReleaseSignatureTest, ALargeFileIsCheckedInPiecesInBothForms) {
    const auto file = s_sandbox->WriteFile("big.bin", std::string(3 * 1024 * 1024 + 7, 'x'));
    const std::string content = *test::ReadFile(file);
    for (const bool legacy : {false, true}) {
        SCOPED_TRACE(legacy ? "legacy" : "prehashed");
        ASSERT_TRUE(s_old->Sign(file, {.legacy = legacy}));
        ReleaseSignatureCheck check(
            *ParseReleaseSignature(*test::ReadFile(file.string() + ".minisig")),
            *ParseReleaseKeys(s_old->PublicKey()), "big.bin");
        check.Add("a try that was abandoned");
        check.Restart();
        for (std::size_t at = 0; at < content.size(); at += 65536) {
            check.Add(std::string_view(content).substr(at, 65536));
        }
        EXPECT_EQ(check.FinishFile(file), SignatureVerdict::Valid);
    }
}

TEST(ReleaseSignatureParsing, KeysAreOneOrTwoMinisignPublicKeys) {
    const std::string key = "RWRC2e65Dmt/zS0nua1oWY1XFwmz5+KA8nfJIVmUWCFrIgrPHUbGZIX8";
    const auto one = ParseReleaseKeys("  " + key + "\n");
    ASSERT_TRUE(one);
    EXPECT_EQ(KeyIdText(one->at(0).id), "CD7F6B0EB9EED942");
    EXPECT_EQ(ParseReleaseKeys(key + ";" + key)->size(), 2u);
    for (const std::string& bad : std::vector<std::string>{
             std::string(), std::string(" ,; "), key + " " + key + " " + key, key.substr(1),
             key + "A", key + "=", "untrusted comment: minisign public key CD7F6B0EB9EED942",
             // A signature line, not a key.
             std::string("RURC2e65Dmt/zfS/ekLvkKKjjZYLmZ7HV6TdwFmkkLXY3IIdHLIfXCSqBYo/"
                         "ZXYikX1PFAoy/NkhGeWOChQPXfS5aa9seQFJoQA=")}) {
        EXPECT_FALSE(ParseReleaseKeys(bad)) << bad;
    }
}

TEST(ReleaseSignatureParsing, ASignatureIsExactlyFourLines) {
    const std::string lines[] = {
        "untrusted comment: signature from minisign secret key",
        "RURC2e65Dmt/zfS/ekLvkKKjjZYLmZ7HV6TdwFmkkLXY3IIdHLIfXCSqBYo/"
        "ZXYikX1PFAoy/NkhGeWOChQPXfS5aa9seQFJoQA=",
        "trusted comment: timestamp:1796680409\tfile:Version.xml\thashed",
        "VDo0RavL1x6ycPEK72HCrgof3pUvqjZbDHWdmcSCyzMzqUJgQ0u5Nag4JWoDu+6s+twooorDU8CblhOPmhaFCA=="};
    const auto join = [&](std::string_view end) {
        std::string text;
        for (const auto& line : lines) {
            text += line;
            text += end;
        }
        return text;
    };
    const auto parsed = ParseReleaseSignature(join("\n"));
    ASSERT_TRUE(parsed);
    EXPECT_TRUE(parsed->prehashed);
    EXPECT_EQ(KeyIdText(parsed->keyId), "CD7F6B0EB9EED942");
    EXPECT_EQ(parsed->trustedComment, "timestamp:1796680409\tfile:Version.xml\thashed");
    EXPECT_TRUE(ParseReleaseSignature(join("\r\n")));
    std::string unended = join("\n");
    unended.pop_back();
    EXPECT_TRUE(ParseReleaseSignature(unended));

    EXPECT_FALSE(ParseReleaseSignature(join("\n") + "\n"));
    EXPECT_FALSE(ParseReleaseSignature(join("\n") + "extra"));
    EXPECT_FALSE(ParseReleaseSignature(""));
    std::string other = join("\n");
    other.replace(other.find("RUR"), 3, "RXR");  // an algorithm that is neither form
    EXPECT_FALSE(ParseReleaseSignature(other));
    other = join("\n");
    other.replace(0, 9, "trusted  ");
    EXPECT_FALSE(ParseReleaseSignature(other));
    other = join("\n");
    other.erase(other.find("\ntrusted comment: ") + 1, 8);  // "comment: " without "trusted "
    EXPECT_FALSE(ParseReleaseSignature(other));
}

}  // namespace
}  // namespace zn
