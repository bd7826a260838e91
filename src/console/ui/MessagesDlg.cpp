#include "MessagesDlg.h"

#include <QHeaderView>

#include "console/ConsoleTexts.h"
#include "gui/MessageBox.h"
#include "gui/QtText.h"
#include "ui_MessagesDlg.h"

namespace zn::console {

using gui::Q;

CMessagesDlg::CMessagesDlg(const std::vector<CustomerMessage>& messages, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::MessagesDlg>()) {
    m_ui->setupUi(this);
    setWindowTitle(Q(texts::kMessagesCaption));
    m_ui->close->setText(Q(texts::kMessagesCloseButton));
    m_ui->messages->setHorizontalHeaderLabels({Q(texts::kMessagesTimeHeader),
                                               Q(texts::kMessagesSeatHeader),
                                               Q(texts::kMessagesTextHeader)});
    m_ui->messages->setRowCount(static_cast<int>(messages.size()));
    for (int row = 0; row < static_cast<int>(messages.size()); ++row) {
        const CustomerMessage& message = messages[static_cast<std::size_t>(row)];
        const QString seat = Q(message.seat) + QStringLiteral(" (") + Q(message.address) + ')';
        int column = 0;
        for (const QString& text : {Q(message.time), seat, Q(message.text)}) {
            m_ui->messages->setItem(row, column++, new QTableWidgetItem(text));
        }
    }
    m_ui->messages->resizeColumnsToContents();
    m_ui->messages->resizeRowsToContents();
    connect(m_ui->close, &QPushButton::clicked, this, &CMessagesDlg::reject);
}

CMessagesDlg::~CMessagesDlg() = default;

void CMessagesDlg::Show(QWidget* parent, const std::vector<CustomerMessage>& messages) {
    CMessagesDlg window(messages, parent);
    QString shown;
    for (int row = 0; row < window.Rows(); ++row) {
        shown += window.Cell(row, 0) + ' ' + window.Cell(row, 1) + ' ' + window.Cell(row, 2) + '\n';
    }
    if (gui::AutomatedFieldAnswer(Q(texts::kMessagesCaption), shown, 0,
                                  gui::FieldAnswer{gui::DialogAnswer::Ok, {}})) {
        return;
    }
    window.exec();
}

int CMessagesDlg::Rows() const {
    return m_ui->messages->rowCount();
}

QString CMessagesDlg::Cell(int row, int column) const {
    const QTableWidgetItem* item = m_ui->messages->item(row, column);
    return item == nullptr ? QString() : item->text();
}

}  // namespace zn::console
