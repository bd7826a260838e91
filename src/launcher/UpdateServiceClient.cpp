#include "launcher/UpdateServiceClient.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/Log.h"
#include "platform/UnixSocket.h"

namespace zn::launcher {
namespace {

UpdateResult NoService(const UpdateProgress& progress) {
    progress(kProgressNoServer);
    return UpdateResult::ManifestNotFetched;
}

}  // namespace

UpdateResult RunThroughUpdateService(const std::filesystem::path& socket,
                                     ServiceDeadline manifestDeadline,
                                     const UpdateProgress& progress) {
    const UniqueFd connection = ConnectUnixSocket(socket);
    if (!connection.IsValid()) {
        log::Error("Cannot reach the update service at {}: {}", socket.string(),
                   std::strerror(errno));
        return NoService(progress);
    }
    if (!SendText(connection.Get(), std::string(kServiceRequest) + "\n", manifestDeadline)) {
        log::Error("Cannot ask the update service at {} for a run", socket.string());
        return NoService(progress);
    }
    LineReader answer(connection.Get(), kMaxServiceLineBytes);
    bool manifestKnown = false;
    for (;;) {
        std::string line;
        const ServiceDeadline deadline = manifestKnown ? ServiceDeadline::max() : manifestDeadline;
        const LineStatus status = answer.Next(line, deadline);
        if (status == LineStatus::TimedOut) {
            log::Warn("The update service has not reported the manifest in time; giving it up");
            return NoService(progress);
        }
        const auto parsed =
            status == LineStatus::Line ? ParseServiceLine(line) : std::optional<ServiceLine>();
        if (!parsed) {
            log::Error("The update service ended or answered out of turn: {}",
                       log::Printable(line, kMaxServiceLineBytes));
            return NoService(progress);
        }
        if (parsed->result) {
            return *parsed->result;
        }
        manifestKnown = manifestKnown || *parsed->progress != kProgressChecking;
        progress(*parsed->progress);
    }
}

}  // namespace zn::launcher
