#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sodium.h>

namespace zn {

// Releases are signed with minisign: the operator uses that standard tool, the programs only
// check its detached "<file>.minisig" signatures against the public keys they are given.

using ReleaseKeyId = std::array<std::uint8_t, 8>;
using Ed25519Signature = std::array<std::uint8_t, crypto_sign_BYTES>;

// A minisign public key.
struct ReleaseKey {
    ReleaseKeyId id{};
    std::array<std::uint8_t, crypto_sign_PUBLICKEYBYTES> publicKey{};
};

// The key id as minisign prints it: 16 upper-case hex digits.
std::string KeyIdText(const ReleaseKeyId& id);

// One or two minisign public keys in their base64 form (the second line of a ".pub" file, what
// `minisign -P` takes), separated by white space, "," or ";". Two let releases signed with the old
// or the new key through while keys change. nullopt when a part is not such a key, or for none or
// more than two.
std::optional<std::vector<ReleaseKey>> ParseReleaseKeys(std::string_view text);

// A ".minisig" file: an untrusted comment, the file's signature, a trusted comment and the global
// signature over the file's signature and the trusted comment.
struct ReleaseSignature {
    // "ED": the signature covers the file's BLAKE2b-512 hash; "Ed" (legacy): the file itself.
    bool prehashed = true;
    ReleaseKeyId keyId{};
    Ed25519Signature signature{};
    std::string trustedComment;
    Ed25519Signature globalSignature{};
};

// The four lines of a ".minisig" file, each ending in "\n" or "\r\n" (the last may end without);
// nullopt for anything else.
std::optional<ReleaseSignature> ParseReleaseSignature(std::string_view text);

enum class SignatureVerdict {
    Valid,
    UnknownKey,         // signed with a key that is not trusted
    BadSignature,       // the content is not what was signed
    BadTrustedComment,  // the trusted comment is not what was signed
    WrongFile,          // the trusted comment names another file
};

// What a verdict means, for a log line.
std::string_view VerdictText(SignatureVerdict verdict);

// Checks content that arrives in pieces: the prehashed form hashes each piece as it comes, so a
// large file costs no memory. The legacy form signs the whole file, so FinishFile checks it over
// the complete file (mapped, not copied).
class ReleaseSignatureCheck {
public:
    // `fileName`: the name the file is published under; a trusted comment that names a file (as
    // minisign's own does, "file:<name>") must name this one, so one signed file cannot stand in
    // for another.
    ReleaseSignatureCheck(ReleaseSignature signature, std::vector<ReleaseKey> keys,
                          std::string fileName);

    // A new copy of the content begins (a download's next try).
    void Restart();
    void Add(std::string_view bytes);
    // The verdict once every piece was added; `whole` is the complete content, read only for the
    // legacy form.
    SignatureVerdict FinishFile(const std::filesystem::path& whole);
    SignatureVerdict FinishContent(std::string_view whole);

    const ReleaseSignature& Signature() const { return m_signature; }

private:
    SignatureVerdict Verify(std::string_view legacyContent);

    ReleaseSignature m_signature;
    std::vector<ReleaseKey> m_keys;
    std::string m_fileName;
    crypto_generichash_state m_hash{};
};

// The whole check of content held in memory.
SignatureVerdict VerifyRelease(const ReleaseSignature& signature,
                               const std::vector<ReleaseKey>& keys, std::string_view fileName,
                               std::string_view content);

}  // namespace zn
