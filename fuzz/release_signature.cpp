// The minisign key and signature parsers on any text, and the check of content against them.
// Input: keys text, NUL, signature text, NUL, content.

#include <cstdint>

#include "FuzzSupport.h"
#include "update/ReleaseSignature.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parts = zn::fuzz::SplitInput({data, size}, '\0', 3);
    const auto keys = zn::ParseReleaseKeys(parts[0]);
    const auto signature = zn::ParseReleaseSignature(parts[1]);
    if (keys && (keys->empty() || keys->size() > 2)) {
        __builtin_trap();
    }
    if (signature && signature->trustedComment.find('\n') != std::string::npos) {
        __builtin_trap();
    }
    if (keys && signature) {
        const auto content = parts[2];
        const auto whole = zn::VerifyRelease(*signature, *keys, "Version.xml", content);
        // Content that arrives in pieces is judged as content that arrives at once.
        zn::ReleaseSignatureCheck pieces(*signature, *keys, "Version.xml");
        pieces.Add(content.substr(0, content.size() / 2));
        pieces.Add(content.substr(content.size() / 2));
        if (pieces.FinishContent(content) != whole) {
            __builtin_trap();
        }
    }
    return 0;
}
