// Publishes a window of a given class and title and prints every copy-data message it receives,
// one line each: the number, the byte count and the text, escaped so that whatever it holds it
// stays one line and reads back exactly. Runs until SIGINT or SIGTERM.

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "platform/EscapedText.h"
#include "platform/TextCodec.h"
#include "platform/WindowDirectory.h"

namespace {

struct Options {
    std::string className;
    std::string title;
};

std::optional<Options> ParseArguments(int argc, char** argv) {
    std::optional<std::string> className;
    std::optional<std::string> title;
    for (int i = 1; i < argc; i += 2) {
        const std::string_view name = argv[i];
        if (i + 1 >= argc) {
            return std::nullopt;
        }
        auto* slot = name == "--class" ? &className : name == "--title" ? &title : nullptr;
        if (slot == nullptr || slot->has_value()) {
            return std::nullopt;
        }
        *slot = argv[i + 1];
    }
    if (!className || !title) {
        return std::nullopt;
    }
    return Options{std::move(*className), std::move(*title)};
}

void PrintMessage(std::uint32_t number, const std::vector<std::byte>& data) {
    // The text is a C string in code page 936; its terminator is counted, not shown.
    std::string_view gbk(reinterpret_cast<const char*>(data.data()), data.size());
    gbk = gbk.substr(0, gbk.find('\0'));
    const std::string line = std::to_string(number) + " " + std::to_string(data.size()) + " " +
                             zn::EscapeReversibly(zn::TextCodec::GbkToUtf8(gbk)) + "\n";
    if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size() ||
        std::fflush(stdout) != 0) {
        // Nobody reads any more: end as if asked to.
        ::kill(::getpid(), SIGTERM);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = ParseArguments(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: %s --class <class> --title <title>\n", argv[0]);
        return 2;
    }
    // Blocked before the receiving thread starts, so only sigwait below takes them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    const zn::WindowDirectory directory(zn::WindowDirectory::DefaultFolder());
    auto window =
        zn::PublishedWindow::Publish(directory, options->className, options->title, PrintMessage);
    if (!window) {
        std::fprintf(stderr, "%s: cannot publish the window in %s\n", argv[0],
                     directory.Folder().c_str());
        return 1;
    }
    int received = 0;
    while (sigwait(&stopSignals, &received) != 0) {
    }
    window.reset();
    return 0;
}
