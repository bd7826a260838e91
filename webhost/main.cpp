#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "HostOptions.h"
#include "WebHost.h"
#include "platform/Log.h"

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

    zn::log::StartProgramLog("zentrova-webhost");
    const std::string address = options.host.bindAddress;
    const std::string pages = options.host.pagesFolder.string();
    const std::string releases = options.host.releasesFolder.string();
    WebHost host(std::move(options.host));
    const auto port = host.Start(options.port);
    if (!port) {
        zn::log::Error("cannot listen on {} port {}", address, options.port);
        return 1;
    }
    const std::string site =
        "http://" + (address.find(':') == std::string::npos ? address : "[" + address + "]") + ":" +
        std::to_string(*port);
    zn::log::Info("serving {}/ (pages in {})", site, pages);
    zn::log::Info("back office: {}/wb/loginsyt.jsp", site);
    zn::log::Info("shop: {}/wb/indexc.jsp", site);
    zn::log::Info("sounds: {}/9tqa/sounddownload.aspx", site);
    if (!releases.empty()) {
        zn::log::Info("releases: {}", releases);
    }

    int received = 0;
    sigwait(&stopSignals, &received);
    zn::log::Info("stopping");
    host.Stop();
    return 0;
}
