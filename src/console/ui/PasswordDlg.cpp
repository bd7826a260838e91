#include "PasswordDlg.h"

#include "gui/FixedDialog.h"
#include "gui/MessageBox.h"
#include "ui_PasswordDlg.h"

namespace zn::console {

CPasswordDlg::CPasswordDlg(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::PasswordDlg>()) {
    m_ui->setupUi(this);
    setWindowFlags(gui::kFixedDialogFlags);
    connect(m_ui->ok, &QPushButton::clicked, this, &CPasswordDlg::accept);
    connect(m_ui->cancel, &QPushButton::clicked, this, &CPasswordDlg::reject);
    m_ui->password->setFocus();
}

CPasswordDlg::~CPasswordDlg() = default;

std::optional<std::string> CPasswordDlg::Ask(QWidget* parent, const std::string& caption) {
    const QString title = QString::fromStdString(caption);
    if (const auto automatic = gui::AutomatedFieldAnswer(
            title, {}, 1, gui::FieldAnswer{gui::DialogAnswer::Ok, {""}})) {
        if (automatic->button != gui::DialogAnswer::Ok) {
            return std::nullopt;
        }
        return automatic->fields.front();
    }
    CPasswordDlg prompt(parent);
    prompt.setWindowTitle(title);
    if (prompt.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return prompt.TypedText();
}

std::string CPasswordDlg::TypedText() const {
    return m_ui->password->text().toStdString();
}

}  // namespace zn::console
