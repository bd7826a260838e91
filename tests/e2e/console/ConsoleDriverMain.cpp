// The console program for end-to-end tests: the product's program, plus tray menu commands read
// as lines of numbers from standard input, since the offscreen desktop has no system tray, a short
// retry of a login page that cannot be loaded, the hourly update work as often as the test says
// ("--update-period-ms=N"), reminders counted in units of N ms instead of minutes
// ("--reminder-minute-ms=N"), and the window's state changes in the log.
#include <unistd.h>

#include <QEvent>
#include <QSocketNotifier>

#include <charconv>
#include <memory>
#include <string>
#include <string_view>

#include "ConsoleProgram.h"
#include "ZentrovaNubraConsoleDlg.h"
#include "platform/Log.h"

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

class WindowStateLog final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::WindowStateChange) {
            const auto* window = static_cast<QWidget*>(watched);
            // A minimised window keeps its maximised flag for when it comes back.
            zn::log::Info("Window state: {}", window->isMinimized()   ? "minimized"
                                              : window->isMaximized() ? "maximized"
                                                                      : "normal");
        }
        return false;
    }
};

// The option's value in milliseconds, or `fallback` without a valid one.
std::chrono::milliseconds Period(int argc, char** argv, std::string_view option,
                                 std::chrono::milliseconds fallback) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        int period = 0;
        if (argument.starts_with(option) &&
            std::from_chars(argument.data() + option.size(), argument.data() + argument.size(),
                            period)
                    .ec == std::errc() &&
            period > 0) {
            return std::chrono::milliseconds(period);
        }
    }
    return fallback;
}

}  // namespace

int main(int argc, char** argv) {
    // A login page that cannot be loaded is tried again at once, so a test need not wait.
    return zn::console::RunConsoleProgram(
        argc, argv,
        {.started =
             [](zn::console::CZentrovaNubraConsoleDlg& window) {
                 ReadTrayCommands(window);
                 window.installEventFilter(new WindowStateLog(&window));
             },
         .loginPageRetryPeriod = std::chrono::seconds(1),
         .updatePeriod = Period(argc, argv, "--update-period-ms=", zn::console::kUpdateTimerPeriod),
         .reminderUnit = Period(argc, argv, "--reminder-minute-ms=", zn::console::kReminderUnit)});
}
