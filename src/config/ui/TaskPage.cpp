#include "TaskPage.h"

#include <QShortcut>

#include "gui/MessageBox.h"

namespace zn::config {

// QDialog::reject itself: a page may make its reject ask first.
void TaskPage::GoBack() {
    m_wentBack = true;
    QDialog::reject();
}

void TaskPage::ConfirmExit() {
    if (AskExit(this)) {
        QDialog::reject();
    }
}

void TaskPage::CancelOnEscapeAnywhere() {
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &TaskPage::reject);
}

bool AskExit(QWidget* parent) {
    return gui::MessageBox(parent, QStringLiteral("您是否确认要退出配置程序?"),
                           QStringLiteral("确认退出"), gui::DialogIcon::None,
                           gui::DialogButtons::YesNo) == gui::DialogAnswer::Yes;
}

}  // namespace zn::config
