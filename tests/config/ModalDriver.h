#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <functional>

namespace zn::test {

// Acts on the next modal dialog of type T once it runs: a test schedules this, then clicks the
// button that opens the dialog. A dialog that does not come within the limit fails the test, and
// whatever modal dialog is up then is closed, so the test ends instead of hanging.
template <typename T>
void WhenShown(std::function<void(T&)> act,
               std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    auto* timer = new QTimer(qApp);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, deadline, act = std::move(act)] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (dialog != nullptr && dialog->isVisible()) {
            timer->deleteLater();
            timer->stop();
            act(*dialog);
            return;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            timer->deleteLater();
            timer->stop();
            ADD_FAILURE() << "the expected dialog did not show: "
                          << T::staticMetaObject.className();
            if (auto* other = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                other->done(QDialog::Rejected);
            }
        }
    });
    timer->start(5);
}

// Clicks a dialog's push button by its object name.
inline void Click(QWidget& dialog, const char* button) {
    auto* found = dialog.findChild<QPushButton*>(QString::fromLatin1(button));
    ASSERT_NE(found, nullptr) << button;
    found->click();
}

}  // namespace zn::test
