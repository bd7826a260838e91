#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "HostOptions.h"
#include "WebHost.h"

namespace {

std::filesystem::path DefaultPagesFolder() {
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path("pages") : program.parent_path() / "pages";
}

}  // namespace

int main(int argc, char** argv) {
    using namespace zn::webhost;
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    ParsedOptions parsed = ParseHostOptions(arguments);
    if (!parsed.options) {
        std::fprintf(stderr, "zentrova-webhost: %s\n%s", parsed.error.c_str(), UsageText().c_str());
        return 2;
    }
    HostOptions& options = *parsed.options;
    if (options.showHelp) {
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    }
    if (options.host.pagesFolder.empty()) {
        options.host.pagesFolder = DefaultPagesFolder();
    }

    // Block the stop signals before any thread starts, so that only sigwait below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    const std::string address = options.host.bindAddress;
    const std::string pages = options.host.pagesFolder.string();
    const std::string releases = options.host.releasesFolder.string();
    WebHost host(std::move(options.host));
    const auto port = host.Start(options.port);
    if (!port) {
        std::fprintf(stderr, "zentrova-webhost: cannot listen on %s port %d\n", address.c_str(),
                     options.port);
        return 1;
    }
    const std::string shown =
        address.find(':') == std::string::npos ? address : "[" + address + "]";
    std::fprintf(stderr,
                 "zentrova-webhost: serving http://%s:%d/ (pages in %s)\n"
                 "  back office: http://%s:%d/wb/loginsyt.jsp\n"
                 "  shop:        http://%s:%d/wb/indexc.jsp\n"
                 "  sounds:      http://%s:%d/9tqa/sounddownload.aspx\n",
                 shown.c_str(), *port, pages.c_str(), shown.c_str(), *port, shown.c_str(), *port,
                 shown.c_str(), *port);
    if (!releases.empty()) {
        std::fprintf(stderr, "  releases:    %s\n", releases.c_str());
    }

    int received = 0;
    sigwait(&stopSignals, &received);
    std::fprintf(stderr, "zentrova-webhost: stopping\n");
    host.Stop();
    return 0;
}
