#include "update/SignedDownload.h"

#include <algorithm>
#include <optional>
#include <string>

#include "platform/Log.h"
#include "update/HttpGet.h"

namespace zn {

namespace {

class SignatureSink : public IBodySink {
public:
    explicit SignatureSink(std::string& text) : m_text(text) {}

    bool Begin(std::uint64_t length) override {
        if (length > kMaxSignatureBytes) {
            log::Error("Refused a signature of {} bytes (at most {})", length, kMaxSignatureBytes);
            return false;
        }
        m_text.clear();
        return true;
    }

    bool Write(std::string_view bytes) override {
        m_text += bytes;
        return true;
    }

private:
    std::string& m_text;
};

std::optional<ReleaseSignature> FetchSignature(DownloadSource source,
                                               const DownloadTimeouts& timeouts) {
    source.objectPath += ".minisig";
    std::string text;
    SignatureSink sink(text);
    if (!HttpGet(source, timeouts, sink)) {
        log::Error("No signature {} from {}; the file is not taken",
                   log::Printable(source.objectPath), source.host);
        return std::nullopt;
    }
    auto signature = ParseReleaseSignature(text);
    if (!signature) {
        log::Error("{} from {} is not a minisign signature; the file is not taken",
                   log::Printable(source.objectPath), source.host);
    }
    return signature;
}

// The name a file is published and signed under: the last part of its path.
std::string PublishedName(std::string_view objectPath) {
    const std::size_t slash = objectPath.rfind('/');
    return std::string(slash == std::string_view::npos ? objectPath : objectPath.substr(slash + 1));
}

bool Judge(SignatureVerdict verdict, const ReleaseSignature& signature,
           const DownloadSource& source) {
    if (verdict == SignatureVerdict::Valid) {
        log::Info("{} from {} is signed by key {} ({})", log::Printable(source.objectPath),
                  source.host, KeyIdText(signature.keyId),
                  log::Printable(signature.trustedComment));
        return true;
    }
    log::Error("{} from {} is refused: {} (key {})", log::Printable(source.objectPath), source.host,
               VerdictText(verdict), KeyIdText(signature.keyId));
    return false;
}

class SignatureDownloadCheck : public IDownloadCheck {
public:
    SignatureDownloadCheck(const DownloadSource& source, ReleaseSignature signature,
                           const ReleaseTrust& trust)
        : m_source(source),
          m_check(std::move(signature), trust.Keys(), PublishedName(source.objectPath)) {}

    void Restart() override { m_check.Restart(); }
    void Add(std::string_view bytes) override { m_check.Add(bytes); }
    bool Accept(const std::filesystem::path& downloaded) override {
        return Judge(m_check.FinishFile(downloaded), m_check.Signature(), m_source);
    }

private:
    const DownloadSource& m_source;
    ReleaseSignatureCheck m_check;
};

}  // namespace

bool IsManifestSigned(const DownloadSource& source, std::string_view content,
                      const ReleaseTrust& trust, const DownloadTimeouts& timeouts) {
    if (!trust.Verifies()) {
        log::Warn("Releases from {} are not verified: no UpdatePublicKey is set", source.host);
        return true;
    }
    const auto signature = FetchSignature(source, timeouts);
    return signature &&
           Judge(VerifyRelease(*signature, trust.Keys(), PublishedName(source.objectPath), content),
                 *signature, source);
}

std::size_t DownloadSignedFile(const DownloadSource& source, const std::filesystem::path& file,
                               const ReleaseTrust& trust, const DownloadTimeouts& timeouts,
                               FileDownloadRules rules) {
    if (!trust.Verifies()) {
        return DownloadToFile(source, file, timeouts, rules);
    }
    auto signature = FetchSignature(source, timeouts);
    if (!signature) {
        return 0;
    }
    if (std::none_of(trust.Keys().begin(), trust.Keys().end(),
                     [&](const ReleaseKey& key) { return key.id == signature->keyId; })) {
        Judge(SignatureVerdict::UnknownKey, *signature, source);
        return 0;  // refused before its bytes are fetched
    }
    SignatureDownloadCheck check(source, std::move(*signature), trust);
    rules.check = &check;
    return DownloadToFile(source, file, timeouts, rules);
}

}  // namespace zn
