// LaunchNubraClient for end-to-end tests: the product's program, plus the Esc key read as the line
// "esc" from standard input, since nobody types into an offscreen window.
#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QSocketNotifier>

#include <memory>
#include <string>

#include "LauncherDlg.h"
#include "LauncherProgram.h"

namespace {

void ReadKeys(zn::launcher::LauncherDlg& window) {
    auto* input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &window);
    auto pending = std::make_shared<std::string>();
    QObject::connect(input, &QSocketNotifier::activated, &window, [&window, input, pending] {
        char buffer[64];
        const ssize_t count = read(STDIN_FILENO, buffer, sizeof buffer);
        if (count <= 0) {
            input->setEnabled(false);
            return;
        }
        pending->append(buffer, static_cast<std::size_t>(count));
        if (pending->find("esc\n") != std::string::npos) {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(&window, &escape);
        }
    });
}

}  // namespace

int main(int argc, char** argv) {
    return zn::launcher::RunClientLauncherProgram(argc, argv, {.started = ReadKeys});
}
