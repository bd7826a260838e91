#include "SeatConfig2Dlg.h"

#include "TemplateSize.h"
#include "gui/FixedDialog.h"
#include "ui_SeatConfig2Dlg.h"

namespace zn::config {

SeatConfig2Dlg::SeatConfig2Dlg(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::SeatConfig2Dlg>()) {
    m_ui->setupUi(this);
    setWindowFlags(gui::kFixedDialogFlags);
    KeepTemplateSize(*this);
    connect(m_ui->finish, &QPushButton::clicked, this, &SeatConfig2Dlg::accept);
    connect(m_ui->cancel, &QPushButton::clicked, this, &SeatConfig2Dlg::reject);
}

SeatConfig2Dlg::~SeatConfig2Dlg() = default;

void SeatConfig2Dlg::SetRow(const SeatRow& row) {
    m_ui->seat->setText(QString::fromStdString(row.seat));
    if (!row.address.empty()) {
        m_ui->address->SetFields(DottedFields(row.address));
    }
}

SeatRow SeatConfig2Dlg::Row() const {
    return {DottedText(m_ui->address->Address()), m_ui->seat->text().toStdString()};
}

}  // namespace zn::config
