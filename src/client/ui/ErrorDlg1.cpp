#include "ErrorDlg1.h"

#include "client/ClientTexts.h"
#include "gui/MessageBox.h"
#include "gui/QtText.h"
#include "ui_ErrorDlg1.h"

namespace zn::client {
namespace {

using gui::Q;

void ShowEmptyAddress(QWidget* parent) {
    gui::MessageBox(parent, Q(ErrorDialogTexts::kEmptyAddress), Q(ClientTexts::kClientCaption),
                    gui::DialogIcon::Error);
}

// What the automation log shows of the dialog: its choices, one a line.
QString AutomationText() {
    return Q(ErrorDialogTexts::kRetry) + '\n' + Q(ErrorDialogTexts::kCorrectAddress) + '\n' +
           Q(ErrorDialogTexts::kGiveUp);
}

// Automation mode: fields "<choice>" and "<address>", the default being OK as the dialog opens.
// After a refused address the dialog stays open; an empty answer queue then ends it with Cancel,
// as Escape would, so that a run never waits for good.
std::optional<ConnectionErrorAnswer> AnswerAutomatically(QWidget* parent,
                                                         const std::string& address) {
    ConnectionErrorForm form(address);
    gui::FieldAnswer byDefault{gui::DialogAnswer::Ok, {"1", address}};
    for (;;) {
        const auto answer = gui::AutomatedFieldAnswer(Q(ErrorDialogTexts::kCaption),
                                                      AutomationText(), 2, byDefault);
        if (!answer) {
            return std::nullopt;
        }
        if (answer->button != gui::DialogAnswer::Ok) {
            return form.CancelAnswer();
        }
        const std::string& choice = answer->fields[0];
        if (choice.size() == 1) {
            form.Choose(choice[0] - '0');
        }
        if (form.ConfirmOk(answer->fields[1])) {
            return form.OkAnswer();
        }
        ShowEmptyAddress(parent);
        byDefault = gui::FieldAnswer{gui::DialogAnswer::Cancel, {}};
    }
}

}  // namespace

CErrorDlg1::CErrorDlg1(const std::string& address, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::ErrorDlg1>()), m_form(address) {
    m_ui->setupUi(this);
    m_ui->address->setText(QString::fromStdString(address));
    connect(m_ui->choiceRetry, &QRadioButton::clicked, this, [this] { Choose(kChoiceRetry); });
    connect(m_ui->choiceCorrectAddress, &QRadioButton::clicked, this,
            [this] { Choose(kChoiceCorrectAddress); });
    connect(m_ui->choiceGiveUp, &QRadioButton::clicked, this, [this] { Choose(kChoiceGiveUp); });
    connect(m_ui->ok, &QPushButton::clicked, this, &CErrorDlg1::accept);
    connect(m_ui->cancel, &QPushButton::clicked, this, &CErrorDlg1::reject);
}

CErrorDlg1::~CErrorDlg1() = default;

ConnectionErrorAnswer CErrorDlg1::Ask(QWidget* parent, const std::string& address) {
    if (const auto automatic = AnswerAutomatically(parent, address)) {
        return *automatic;
    }
    CErrorDlg1 dialog(address, parent);
    dialog.exec();
    return dialog.Answer();
}

ConnectionErrorAnswer CErrorDlg1::Answer() const {
    return result() == QDialog::Accepted ? m_form.OkAnswer() : m_form.CancelAnswer();
}

void CErrorDlg1::Choose(int choice) {
    m_form.Choose(choice);
    m_ui->choiceRetry->setChecked(m_form.Choice() == kChoiceRetry);
    m_ui->choiceCorrectAddress->setChecked(m_form.Choice() == kChoiceCorrectAddress);
    m_ui->choiceGiveUp->setChecked(m_form.Choice() == kChoiceGiveUp);
    m_ui->address->setEnabled(m_form.AddressFieldEnabled());
}

void CErrorDlg1::SetAddressText(const QString& text) {
    m_ui->address->setText(text);
}

bool CErrorDlg1::IsAddressFieldEnabled() const {
    return m_ui->address->isEnabled();
}

void CErrorDlg1::accept() {
    if (!m_form.ConfirmOk(m_ui->address->text().toStdString())) {
        ShowEmptyAddress(this);
        return;
    }
    QDialog::accept();
}

}  // namespace zn::client
