// The console program for end-to-end tests: the product's program, plus tray menu commands read
// as lines of numbers from standard input, since the offscreen desktop has no system tray, and a
// short retry of a login page that cannot be loaded.
#include <unistd.h>

#include <QSocketNotifier>

#include <charconv>
#include <memory>
#include <string>

#include "ConsoleProgram.h"
#include "ZentrovaNubraConsoleDlg.h"

namespace {

void ReadTrayCommands(zn::console::CZentrovaNubraConsoleDlg& window) {
    auto* input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &window);
    auto pending = std::make_shared<std::string>();
    QObject::connect(input, &QSocketNotifier::activated, &window, [&window, input, pending] {
        char buffer[256];
        const ssize_t count = read(STDIN_FILENO, buffer, sizeof buffer);
        if (count <= 0) {
            input->setEnabled(false);
            return;
        }
        pending->append(buffer, static_cast<std::size_t>(count));
        for (auto end = pending->find('\n'); end != std::string::npos; end = pending->find('\n')) {
            const std::string line = pending->substr(0, end);
            pending->erase(0, end + 1);
            int command = 0;
            const auto [last, error] =
                std::from_chars(line.data(), line.data() + line.size(), command);
            if (error == std::errc() && last == line.data() + line.size()) {
                window.RunTrayCommand(command);
            }
        }
    });
}

}  // namespace

int main(int argc, char** argv) {
    // A login page that cannot be loaded is tried again at once, so a test need not wait.
    return zn::console::RunConsoleProgram(
        argc, argv, {.started = ReadTrayCommands, .loginPageRetryPeriod = std::chrono::seconds(1)});
}
