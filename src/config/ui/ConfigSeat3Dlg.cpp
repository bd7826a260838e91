#include "ConfigSeat3Dlg.h"

#include "ConfigMessage.h"
#include "TemplateSize.h"
#include "gui/FixedDialog.h"
#include "ui_ConfigSeat3Dlg.h"

namespace zn::config {

ConfigSeat3Dlg::ConfigSeat3Dlg(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::ConfigSeat3Dlg>()) {
    m_ui->setupUi(this);
    setWindowFlags(gui::kFixedDialogFlags);
    KeepTemplateSize(*this);
    m_ui->firstSeat->setText(QString::number(m_batch.firstSeat));
    m_ui->count->setText(QString::number(m_count));
    connect(m_ui->startAddress, &Ipv4AddressEdit::FieldChanged, this,
            [this] { AddressChanged(true); });
    connect(m_ui->endAddress, &Ipv4AddressEdit::FieldChanged, this,
            [this] { AddressChanged(false); });
    connect(m_ui->finish, &QPushButton::clicked, this, &ConfigSeat3Dlg::accept);
    connect(m_ui->cancel, &QPushButton::clicked, this, &ConfigSeat3Dlg::reject);
}

ConfigSeat3Dlg::~ConfigSeat3Dlg() = default;

void ConfigSeat3Dlg::AddressChanged(bool startChanged) {
    const Ipv4Octets start = m_ui->startAddress->Address();
    const Ipv4Octets end = m_ui->endAddress->Address();
    m_count = BatchCount(start, end);
    m_ui->count->setText(QString::number(m_count));
    if (startChanged) {
        m_ui->endAddress->SetAddress(InBlockOf(start, end));
    } else {
        m_ui->startAddress->SetAddress(InBlockOf(end, start));
    }
}

void ConfigSeat3Dlg::accept() {
    if (m_count == 0) {
        ShowMessage(this, QStringLiteral("错误：批量添加的客户端数量不能为0"));
        return;
    }
    const auto firstSeat = ParseInteger(m_ui->firstSeat->text().toStdString());
    if (!firstSeat) {
        ShowMessage(this, QStringLiteral("Please enter an integer."));
        m_ui->firstSeat->setFocus();
        m_ui->firstSeat->selectAll();
        return;
    }
    m_batch = {m_ui->startAddress->Address(), m_ui->endAddress->Address(), *firstSeat,
               m_ui->prefix->text().toStdString(), m_ui->suffix->text().toStdString()};
    QDialog::accept();
}

}  // namespace zn::config
