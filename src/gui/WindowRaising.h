#pragma once

class QWidget;

namespace zn::gui {

// Shows the window, puts it at the top of the window order (not topmost, neither moved nor
// resized) and activates it.
void RaiseWindow(QWidget* window);

// The same, maximised.
void ShowMaximizedAndRaise(QWidget* window);

}  // namespace zn::gui
