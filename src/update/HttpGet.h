#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "update/HttpDownload.h"

namespace zn {

// Where the body of an accepted answer goes.
class IBodySink {
public:
    virtual ~IBodySink() = default;
    // The answer was accepted and announces `length` bytes; false refuses it (logged by the sink).
    virtual bool Begin(std::uint64_t length) = 0;
    // Never more than the announced length in all. False stops the transfer (logged by the sink).
    virtual bool Write(std::string_view bytes) = 0;
};

// The shared steps of both downloads: the GET with its tries, the status and length rules, and the
// body handed to the sink. The announced length when exactly that many bytes arrived; nullopt on
// any failure, which is logged here unless the sink refused.
std::optional<std::uint64_t> HttpGet(const DownloadSource& source, const DownloadTimeouts& timeouts,
                                     IBodySink& sink);

}  // namespace zn
