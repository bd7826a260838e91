#pragma once

#include <filesystem>
#include <string>

namespace zn::test {

struct SignOptions {
    bool legacy = false;                    // minisign's whole-file form instead of the prehashed
    std::string trustedComment{};           // minisign's own ("timestamp:... file:...") when empty
    std::filesystem::path signatureFile{};  // "<file>.minisig" when empty
};

// A minisign key pair made in a folder, and signatures made with it by the minisign program
// itself, so the programs are checked against the operator's tool rather than against our own.
class ReleaseSigner {
public:
    explicit ReleaseSigner(const std::filesystem::path& folder);

    // False when minisign could not make the key pair.
    bool Ok() const { return !m_publicKey.empty(); }
    // The base64 line of the public key, as "UpdatePublicKey" takes it.
    const std::string& PublicKey() const { return m_publicKey; }
    // False when minisign failed.
    bool Sign(const std::filesystem::path& file, const SignOptions& options = {}) const;

private:
    std::filesystem::path m_secretKey;
    std::string m_publicKey;
};

}  // namespace zn::test
