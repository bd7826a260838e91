#pragma once

#include <QDialog>

#include <memory>
#include <string>

#include "launcher/LauncherSession.h"

namespace Ui {
class LauncherDlg;
}

namespace zn::launcher {

// The launchers' one-line window (template 102): borderless, on the taskbar, at the desktop's top
// left corner, holding the status line. Esc and Enter end it at once.
class LauncherDlg final : public QDialog, public ILauncherWindow {
    Q_OBJECT

public:
    LauncherDlg();
    ~LauncherDlg() override;

    // ILauncherWindow, from the update worker.
    void PostStatusLine(std::string line) override;
    void PostClose(std::chrono::milliseconds delay) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ShowStatusLine(const std::string& line);

    std::unique_ptr<Ui::LauncherDlg> m_ui;
};

}  // namespace zn::launcher
