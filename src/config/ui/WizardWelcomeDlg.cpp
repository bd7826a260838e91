#include "WizardWelcomeDlg.h"

#include <utility>

#include "TaskPage.h"
#include "TemplateSize.h"
#include "ui_WizardWelcomeDlg.h"

namespace zn::config {

WizardWelcomeDlg::WizardWelcomeDlg(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::WizardWelcomeDlg>()) {
    m_ui->setupUi(this);
    // No system menu: a title and no buttons in the frame.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    KeepTemplateSize(*this);
    const std::pair<QRadioButton*, WizardChoice> choices[] = {
        {m_ui->choiceServerAddress, WizardChoice::ServerAddress},
        {m_ui->choiceSeatMapping, WizardChoice::SeatMapping},
        {m_ui->choiceNoticePage, WizardChoice::NoticePage},
        {m_ui->choiceAlertSound, WizardChoice::AlertSound},
    };
    for (const auto& [button, choice] : choices) {
        connect(button, &QRadioButton::clicked, this, [this, choice] { m_choice = choice; });
    }
    connect(m_ui->next, &QPushButton::clicked, this, &WizardWelcomeDlg::accept);
    connect(m_ui->cancel, &QPushButton::clicked, this, &WizardWelcomeDlg::reject);
}

WizardWelcomeDlg::~WizardWelcomeDlg() = default;

void WizardWelcomeDlg::reject() {
    if (AskExit(this)) {
        QDialog::reject();
    }
}

}  // namespace zn::config
