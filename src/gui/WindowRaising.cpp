#include "gui/WindowRaising.h"

#include <QWidget>

namespace zn::gui {

void RaiseWindow(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
}

void ShowMaximizedAndRaise(QWidget* window) {
    window->showMaximized();
    window->raise();
    window->activateWindow();
}

}  // namespace zn::gui
