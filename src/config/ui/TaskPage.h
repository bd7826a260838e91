#pragma once

#include <QDialog>

namespace zn::config {

// A task page of the wizard. Every way of closing it ends the program except "上一步", which
// brings a fresh welcome page.
class TaskPage : public QDialog {
    Q_OBJECT

public:
    using QDialog::QDialog;

    bool WentBack() const { return m_wentBack; }

protected:
    // Bound to "上一步": back to the welcome page without a question.
    void GoBack();
    // Bound to the pages' cancel and exit buttons: asks before leaving; No keeps the page.
    void ConfirmExit();
    // For a page that hosts a browser: Esc is its cancel whatever has the focus. A browser takes
    // every key it is given, Esc included, so the dialog's own handling never sees it there.
    void CancelOnEscapeAnywhere();

private:
    bool m_wentBack = false;
};

// "您是否确认要退出配置程序?" / "确认退出", Yes and No; true on Yes.
bool AskExit(QWidget* parent);

}  // namespace zn::config
