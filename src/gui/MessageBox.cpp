#include "gui/MessageBox.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

#include <utility>
#include <vector>

namespace zn::gui {

namespace {

QMessageBox::Icon QtIcon(DialogIcon icon) {
    switch (icon) {
        case DialogIcon::Information:
            return QMessageBox::Information;
        case DialogIcon::Warning:
            return QMessageBox::Warning;
        case DialogIcon::Error:
            return QMessageBox::Critical;
        case DialogIcon::Question:
            return QMessageBox::Question;
        case DialogIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// The texts a Chinese system gives its message-box buttons.
std::pair<QString, QMessageBox::ButtonRole> ButtonLook(DialogAnswer answer) {
    switch (answer) {
        case DialogAnswer::Cancel:
            return {QStringLiteral("取消"), QMessageBox::RejectRole};
        case DialogAnswer::Yes:
            return {QStringLiteral("是(&Y)"), QMessageBox::YesRole};
        case DialogAnswer::No:
            return {QStringLiteral("否(&N)"), QMessageBox::NoRole};
        case DialogAnswer::Retry:
            return {QStringLiteral("重试(&R)"), QMessageBox::AcceptRole};
        case DialogAnswer::Abort:
            return {QStringLiteral("中止(&A)"), QMessageBox::RejectRole};
        case DialogAnswer::Ignore:
            return {QStringLiteral("忽略(&I)"), QMessageBox::AcceptRole};
        case DialogAnswer::Ok:
            break;
    }
    return {QStringLiteral("确定"), QMessageBox::AcceptRole};
}

}  // namespace

DialogAnswer MessageBox(QWidget* parent, const QString& text, const QString& caption,
                        DialogIcon icon, DialogButtons buttons,
                        std::optional<DialogAnswer> defaultButton) {
    const std::vector<DialogAnswer> offered = AnswersOf(buttons);
    const DialogAnswer preferred = defaultButton.value_or(offered.front());
    if (const auto automatic = DialogAutomation::Process().AnswerMessageBox(
            caption.toStdString(), text.toStdString(), icon, buttons, preferred)) {
        return *automatic;
    }

    QMessageBox box(QtIcon(icon), caption, text, QMessageBox::NoButton, parent);
    std::vector<std::pair<QAbstractButton*, DialogAnswer>> shown;
    for (const DialogAnswer answer : offered) {
        const auto [label, role] = ButtonLook(answer);
        QPushButton* button = box.addButton(label, role);
        shown.emplace_back(button, answer);
        if (answer == preferred) {
            box.setDefaultButton(button);
        }
    }
    // Qt picks the escape button as Windows does: the only button, else Cancel, else No.
    box.exec();
    for (const auto& [button, answer] : shown) {
        if (box.clickedButton() == button) {
            return answer;
        }
    }
    // Closed without a button (Escape and no cancelling button): the last one, as Cancel or No.
    return offered.back();
}

void ShowNotice(QWidget* parent, const QString& text, const QString& caption, DialogIcon icon) {
    if (DialogAutomation::Process().AnswerMessageBox(caption.toStdString(), text.toStdString(),
                                                     icon, DialogButtons::Ok, DialogAnswer::Ok)) {
        return;
    }
    auto* box = new QMessageBox(QtIcon(icon), caption, text, QMessageBox::NoButton, parent);
    const auto [label, role] = ButtonLook(DialogAnswer::Ok);
    box->setDefaultButton(box->addButton(label, role));
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
    // Shown at start, it would otherwise wait behind the windows that opened before it.
    box->raise();
}

std::optional<FieldAnswer> AutomatedFieldAnswer(const QString& caption, const QString& text,
                                                std::size_t fieldCount,
                                                const FieldAnswer& defaultAnswer) {
    return DialogAutomation::Process().AnswerFieldDialog(caption.toStdString(), text.toStdString(),
                                                         fieldCount, defaultAnswer);
}

std::optional<QString> PromptText(QWidget* parent, const QString& caption, const QString& label,
                                  bool hidden) {
    if (const auto automatic =
            AutomatedFieldAnswer(caption, label, 1, FieldAnswer{DialogAnswer::Ok, {""}})) {
        if (automatic->button != DialogAnswer::Ok) {
            return std::nullopt;
        }
        return QString::fromStdString(automatic->fields.front());
    }
    QInputDialog prompt(parent);
    prompt.setWindowTitle(caption);
    prompt.setLabelText(label);
    prompt.setTextEchoMode(hidden ? QLineEdit::Password : QLineEdit::Normal);
    prompt.setOkButtonText(QStringLiteral("确定"));
    prompt.setCancelButtonText(QStringLiteral("取消"));
    if (prompt.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return prompt.textValue();
}

void LogPopup(const QString& text) {
    DialogAutomation::Process().LogPopup(text.toStdString());
}

void LogBalloon(const QString& title, const QString& text) {
    DialogAutomation::Process().LogBalloon(title.toStdString(), text.toStdString());
}

void LogWindow(const QString& caption, const QString& text) {
    DialogAutomation::Process().LogWindow(caption.toStdString(), text.toStdString());
}

}  // namespace zn::gui
