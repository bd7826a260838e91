#include "ConfirmingTaskPage.h"

#include <QCloseEvent>
#include <QKeyEvent>

namespace zn::config {

void ConfirmingTaskPage::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        ConfirmExit();
        return;
    }
    TaskPage::keyPressEvent(event);
}

void ConfirmingTaskPage::closeEvent(QCloseEvent* event) {
    event->ignore();
    ConfirmExit();
}

}  // namespace zn::config
