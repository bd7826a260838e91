#include "update/ReleaseSignature.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "platform/UniqueFd.h"

namespace zn {

namespace {

constexpr std::string_view kUntrustedPrefix = "untrusted comment: ";
constexpr std::string_view kTrustedPrefix = "trusted comment: ";
constexpr std::string_view kKeyAlgorithm = "Ed";
constexpr std::string_view kLegacyAlgorithm = "Ed";
constexpr std::string_view kPrehashedAlgorithm = "ED";
constexpr std::string_view kFileField = "file:";
constexpr std::size_t kAlgorithmBytes = 2;
constexpr std::size_t kHashBytes = crypto_generichash_BYTES_MAX;  // BLAKE2b-512
constexpr std::size_t kMaxKeys = 2;

void InitialiseSodiumOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (sodium_init() < 0) {
            std::abort();  // no safe way on without a working random source or CPU detection
        }
    });
}

// Base64 ("+/" with padding) of exactly `size` bytes and nothing else.
bool DecodeExactly(std::string_view text, std::uint8_t* bytes, std::size_t size) {
    std::size_t decoded = 0;
    return !text.empty() &&
           sodium_base642bin(bytes, size, text.data(), text.size(), nullptr, &decoded, nullptr,
                             sodium_base64_VARIANT_ORIGINAL) == 0 &&
           decoded == size;
}

std::optional<ReleaseKey> ParseKey(std::string_view text) {
    std::array<std::uint8_t,
               kAlgorithmBytes + sizeof(ReleaseKey::id) + sizeof(ReleaseKey::publicKey)>
        bytes{};
    if (!DecodeExactly(text, bytes.data(), bytes.size()) ||
        std::string_view(reinterpret_cast<const char*>(bytes.data()), kAlgorithmBytes) !=
            kKeyAlgorithm) {
        return std::nullopt;
    }
    ReleaseKey key;
    std::copy_n(bytes.begin() + kAlgorithmBytes, key.id.size(), key.id.begin());
    std::copy_n(bytes.begin() + kAlgorithmBytes + key.id.size(), key.publicKey.size(),
                key.publicKey.begin());
    return key;
}

// The next line and what follows it; nullopt when no line is left.
std::optional<std::string_view> NextLine(std::string_view& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    return line;
}

const ReleaseKey* FindKey(const std::vector<ReleaseKey>& keys, const ReleaseKeyId& id) {
    const auto key =
        std::find_if(keys.begin(), keys.end(), [&id](const ReleaseKey& k) { return k.id == id; });
    return key == keys.end() ? nullptr : &*key;
}

bool SignatureHolds(const Ed25519Signature& signature, std::string_view message,
                    const ReleaseKey& key) {
    return crypto_sign_verify_detached(signature.data(),
                                       reinterpret_cast<const unsigned char*>(message.data()),
                                       message.size(), key.publicKey.data()) == 0;
}

// minisign's trusted comment is tab-separated fields; "file:" holds the signed file's name.
std::optional<std::string_view> NamedFile(std::string_view comment) {
    while (!comment.empty()) {
        const std::size_t tab = comment.find('\t');
        const std::string_view field = comment.substr(0, tab);
        if (field.starts_with(kFileField)) {
            return field.substr(kFileField.size());
        }
        comment.remove_prefix(tab == std::string_view::npos ? comment.size() : tab + 1);
    }
    return std::nullopt;
}

// A read-only mapping of a whole file; empty content for an empty file or on failure (`ok`).
class MappedFile {
public:
    explicit MappedFile(const std::filesystem::path& file) {
        const UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
        struct stat info {};
        if (!fd.IsValid() || ::fstat(fd.Get(), &info) != 0) {
            return;
        }
        m_size = static_cast<std::size_t>(info.st_size);
        if (m_size == 0) {
            m_ok = true;
            return;
        }
        void* address = ::mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE, fd.Get(), 0);
        if (address != MAP_FAILED) {
            m_address = address;
            m_ok = true;
        }
    }
    ~MappedFile() {
        if (m_address != nullptr) {
            ::munmap(m_address, m_size);
        }
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    bool Ok() const { return m_ok; }
    std::string_view Content() const {
        return m_address == nullptr ? std::string_view()
                                    : std::string_view(static_cast<const char*>(m_address), m_size);
    }

private:
    void* m_address = nullptr;
    std::size_t m_size = 0;
    bool m_ok = false;
};

}  // namespace

std::string KeyIdText(const ReleaseKeyId& id) {
    // minisign prints the id as a little-endian 64-bit number.
    std::string text;
    for (auto byte = id.rbegin(); byte != id.rend(); ++byte) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", *byte);
        text += digits;
    }
    return text;
}

std::optional<std::vector<ReleaseKey>> ParseReleaseKeys(std::string_view text) {
    InitialiseSodiumOnce();
    std::vector<ReleaseKey> keys;
    constexpr std::string_view kSeparators = " \t\r\n,;";
    for (std::size_t start = text.find_first_not_of(kSeparators); start != std::string_view::npos;
         start = text.find_first_not_of(kSeparators, start)) {
        const std::size_t end = std::min(text.find_first_of(kSeparators, start), text.size());
        const auto key = ParseKey(text.substr(start, end - start));
        if (!key || keys.size() == kMaxKeys) {
            return std::nullopt;
        }
        keys.push_back(*key);
        start = end;
    }
    if (keys.empty()) {
        return std::nullopt;
    }
    return keys;
}

std::optional<ReleaseSignature> ParseReleaseSignature(std::string_view text) {
    InitialiseSodiumOnce();
    const auto untrusted = NextLine(text);
    const auto encoded = NextLine(text);
    const auto trusted = NextLine(text);
    const auto global = NextLine(text);
    if (!global || !text.empty() || !untrusted->starts_with(kUntrustedPrefix) ||
        !trusted->starts_with(kTrustedPrefix)) {
        return std::nullopt;
    }
    std::array<std::uint8_t, kAlgorithmBytes + sizeof(ReleaseKeyId) + sizeof(Ed25519Signature)>
        bytes{};
    ReleaseSignature signature;
    if (!DecodeExactly(*encoded, bytes.data(), bytes.size()) ||
        !DecodeExactly(*global, signature.globalSignature.data(),
                       signature.globalSignature.size())) {
        return std::nullopt;
    }
    const std::string_view algorithm(reinterpret_cast<const char*>(bytes.data()), kAlgorithmBytes);
    if (algorithm != kPrehashedAlgorithm && algorithm != kLegacyAlgorithm) {
        return std::nullopt;
    }
    signature.prehashed = algorithm == kPrehashedAlgorithm;
    std::copy_n(bytes.begin() + kAlgorithmBytes, signature.keyId.size(), signature.keyId.begin());
    std::copy_n(bytes.begin() + kAlgorithmBytes + signature.keyId.size(),
                signature.signature.size(), signature.signature.begin());
    signature.trustedComment = std::string(trusted->substr(kTrustedPrefix.size()));
    return signature;
}

std::string_view VerdictText(SignatureVerdict verdict) {
    switch (verdict) {
        case SignatureVerdict::Valid:
            return "a valid signature";
        case SignatureVerdict::UnknownKey:
            return "signed with a key that is not trusted";
        case SignatureVerdict::BadSignature:
            return "not what was signed";
        case SignatureVerdict::BadTrustedComment:
            return "a trusted comment that was not signed";
        case SignatureVerdict::WrongFile:
            return "the signature of another file";
    }
    return "an unknown verdict";
}

ReleaseSignatureCheck::ReleaseSignatureCheck(ReleaseSignature signature,
                                             std::vector<ReleaseKey> keys, std::string fileName)
    : m_signature(std::move(signature)), m_keys(std::move(keys)), m_fileName(std::move(fileName)) {
    InitialiseSodiumOnce();
    Restart();
}

void ReleaseSignatureCheck::Restart() {
    crypto_generichash_init(&m_hash, nullptr, 0, kHashBytes);
}

void ReleaseSignatureCheck::Add(std::string_view bytes) {
    if (m_signature.prehashed) {
        crypto_generichash_update(&m_hash, reinterpret_cast<const unsigned char*>(bytes.data()),
                                  bytes.size());
    }
}

SignatureVerdict ReleaseSignatureCheck::FinishFile(const std::filesystem::path& whole) {
    if (m_signature.prehashed) {
        return Verify({});
    }
    const MappedFile file(whole);
    return file.Ok() ? Verify(file.Content()) : SignatureVerdict::BadSignature;
}

SignatureVerdict ReleaseSignatureCheck::FinishContent(std::string_view whole) {
    return Verify(whole);
}

SignatureVerdict ReleaseSignatureCheck::Verify(std::string_view legacyContent) {
    const ReleaseKey* key = FindKey(m_keys, m_signature.keyId);
    if (key == nullptr) {
        return SignatureVerdict::UnknownKey;
    }
    std::array<unsigned char, kHashBytes> hash{};
    std::string_view signedMessage = legacyContent;
    if (m_signature.prehashed) {
        crypto_generichash_final(&m_hash, hash.data(), hash.size());
        signedMessage = std::string_view(reinterpret_cast<const char*>(hash.data()), hash.size());
    }
    if (!SignatureHolds(m_signature.signature, signedMessage, *key)) {
        return SignatureVerdict::BadSignature;
    }
    std::string global(reinterpret_cast<const char*>(m_signature.signature.data()),
                       m_signature.signature.size());
    global += m_signature.trustedComment;
    if (!SignatureHolds(m_signature.globalSignature, global, *key)) {
        return SignatureVerdict::BadTrustedComment;
    }
    const auto named = NamedFile(m_signature.trustedComment);
    return named && *named != m_fileName ? SignatureVerdict::WrongFile : SignatureVerdict::Valid;
}

SignatureVerdict VerifyRelease(const ReleaseSignature& signature,
                               const std::vector<ReleaseKey>& keys, std::string_view fileName,
                               std::string_view content) {
    ReleaseSignatureCheck check(signature, keys, std::string(fileName));
    check.Add(content);
    return check.FinishContent(content);
}

}  // namespace zn
