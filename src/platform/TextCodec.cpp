#include "platform/TextCodec.h"

#include "platform/Utf8.h"

#include <errno.h>
#include <iconv.h>

#include <cstdint>
#include <new>

namespace zn::TextCodec {
namespace {

enum class Source { Utf8, Utf16Le, Gbk };

// GB2312's double-byte characters: rows A1-A9 (symbols) and B0-F7 (hanzi); AA-AF and F8-FE
// are GBK's user-defined rows.
bool IsGb2312Pair(unsigned char lead, unsigned char trail) {
    const bool row = (lead >= 0xA1 && lead <= 0xA9) || (lead >= 0xB0 && lead <= 0xF7);
    return row && trail >= 0xA1 && trail <= 0xFE;
}

const char* IconvName(Source source) {
    switch (source) {
        case Source::Utf8:
            return "UTF-8";
        case Source::Utf16Le:
            return "UTF-16LE";
        case Source::Gbk:
            return "GBK";
    }
    return "UTF-8";
}

// How many input bytes one '?' stands for where iconv stopped: a whole character that the target
// cannot hold, a well-formed but unmapped double-byte pair, or else a single invalid byte (so an
// ASCII byte after a stray lead byte survives).
std::size_t BytesToReplace(Source source, const unsigned char* bytes, std::size_t available) {
    switch (source) {
        case Source::Utf8: {
            const std::size_t length = Utf8::SequenceLength(
                std::string_view(reinterpret_cast<const char*>(bytes), available), 0);
            return length == 0 ? 1 : length;
        }
        case Source::Utf16Le:
            return available >= 2 ? 2 : available;
        case Source::Gbk:
            if (available >= 2 && bytes[0] >= 0x81 && bytes[0] <= 0xFE && bytes[1] >= 0x40 &&
                bytes[1] <= 0xFE && bytes[1] != 0x7F) {
                return 2;
            }
            return 1;
    }
    return 1;
}

class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~IconvHandle() {
        if (Valid()) {
            iconv_close(m_cd);
        }
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;

    bool Valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return m_cd; }

private:
    iconv_t m_cd;
};

// The one conversion loop. A descriptor per call keeps it thread-safe. The output never grows
// past a small multiple of the input: each stop either consumes input or gets more room once.
std::string Convert(std::string_view input, Source source, const char* target,
                    std::string_view replacement) {
    IconvHandle cd(target, IconvName(source));
    if (!cd.Valid() || input.empty()) {
        return {};
    }
    try {
        std::string output(input.size() * 2 + 16, '\0');
        auto* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        std::size_t written = 0;
        while (inLeft > 0) {
            char* out = output.data() + written;
            std::size_t outLeft = output.size() - written;
            const std::size_t result = iconv(cd.Get(), &in, &inLeft, &out, &outLeft);
            written = output.size() - outLeft;
            if (result != static_cast<std::size_t>(-1)) {
                break;
            }
            if (errno == E2BIG) {
                output.resize(output.size() + inLeft * 4 + 16);
                continue;
            }
            // EILSEQ or EINVAL (a sequence cut off at the end): replace and step over it.
            if (output.size() - written < replacement.size()) {
                output.resize(output.size() + inLeft * 4 + 16);
            }
            output.replace(written, replacement.size(), replacement);
            written += replacement.size();
            const std::size_t skip =
                BytesToReplace(source, reinterpret_cast<const unsigned char*>(in), inLeft);
            in += skip;
            inLeft -= skip;
        }
        output.resize(written);
        return output;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

// ASCII and GB2312's pairs stay; each other pair (as `isPair` reads a lead and its trail, 0 at
// the end) and each other byte becomes one '?'.
std::string KeepGb2312(std::string_view bytes, bool (*isPair)(unsigned char, unsigned char)) {
    std::string kept;
    kept.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            kept.push_back(bytes[i]);
            continue;
        }
        const auto trail = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
        const bool pair = isPair(lead, trail);
        if (pair && IsGb2312Pair(lead, trail)) {
            kept.append(bytes, i, 2);
        } else {
            kept.push_back('?');
        }
        i += pair ? 1 : 0;
    }
    return kept;
}

constexpr std::string_view kNarrowQuestion = "?";
constexpr std::string_view kWideQuestion{"?\0", 2};

}  // namespace

std::string Utf8ToGbk(std::string_view utf8) {
    return Convert(utf8, Source::Utf8, "GBK", kNarrowQuestion);
}

std::string GbkToUtf8(std::string_view gbk) {
    return Convert(gbk, Source::Gbk, "UTF-8", kNarrowQuestion);
}

// Code page 20936 is GBK cut down to GB2312's rows: iconv's own GB2312 table maps some of them
// (A1A4 ·, A1AA —) to other characters than Windows does.
std::string Utf8ToGb2312(std::string_view utf8) {
    // iconv's output is well formed: every byte from 0x81 up leads a pair.
    return KeepGb2312(
        Convert(utf8, Source::Utf8, "GBK", kNarrowQuestion),
        [](unsigned char lead, unsigned char trail) { return lead >= 0x81 && trail != 0; });
}

std::string Gb2312ToUtf8(std::string_view gb2312) {
    return Convert(KeepGb2312(gb2312,
                              [](unsigned char lead, unsigned char trail) {
                                  return lead >= 0xA1 && lead <= 0xFE && trail >= 0xA1 &&
                                         trail <= 0xFE;
                              }),
                   Source::Gbk, "UTF-8", kNarrowQuestion);
}

std::vector<std::byte> Utf8ToUtf16Le(std::string_view utf8) {
    const std::string converted = Convert(utf8, Source::Utf8, "UTF-16LE", kWideQuestion);
    const auto* bytes = reinterpret_cast<const std::byte*>(converted.data());
    return std::vector<std::byte>(bytes, bytes + converted.size());
}

std::string Utf16LeToUtf8(std::span<const std::byte> utf16le) {
    const std::size_t evenSize = utf16le.size() & ~std::size_t{1};
    return Convert(std::string_view(reinterpret_cast<const char*>(utf16le.data()), evenSize),
                   Source::Utf16Le, "UTF-8", kNarrowQuestion);
}

}  // namespace zn::TextCodec
