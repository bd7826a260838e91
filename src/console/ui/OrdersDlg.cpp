#include "OrdersDlg.h"

#include <QFont>
#include <QHeaderView>

#include "console/ConsoleTexts.h"
#include "gui/MessageBox.h"
#include "gui/QtText.h"
#include "ui_OrdersDlg.h"

namespace zn::console {

namespace {

using gui::Q;

constexpr int kStateColumn = 3;
const QColor kOpenColour(200, 0, 0);

}  // namespace

COrdersDlg::COrdersDlg(OpenOrder open, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::OrdersDlg>()), m_open(std::move(open)) {
    m_ui->setupUi(this);
    setWindowTitle(Q(texts::kOrdersCaption));
    m_ui->open->setText(Q(texts::kOrdersOpenButton));
    m_ui->close->setText(Q(texts::kOrdersCloseButton));
    m_ui->orders->setHorizontalHeaderLabels(
        {Q(texts::kOrdersTimeHeader), Q(texts::kOrdersSeatHeader), Q(texts::kOrdersSerialHeader),
         Q(texts::kOrdersStateHeader)});
    connect(m_ui->orders, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { OpenRow(row); });
    connect(m_ui->open, &QPushButton::clicked, this,
            [this] { OpenRow(m_ui->orders->currentRow()); });
    connect(m_ui->close, &QPushButton::clicked, this, &COrdersDlg::close);
}

COrdersDlg::~COrdersDlg() = default;

void COrdersDlg::SetOrders(const std::vector<OrderRow>& rows, const std::string& summary) {
    m_ui->summary->setText(Q(summary));
    m_ui->orders->setRowCount(static_cast<int>(rows.size()));
    m_serials.clear();
    QString shown = Q(summary) + '\n';
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        const OrderRow& order = rows[static_cast<std::size_t>(row)];
        m_serials.push_back(order.serial);
        int column = 0;
        for (const std::string& text : {order.time, order.seat, order.serial, order.state}) {
            auto* item = new QTableWidgetItem(Q(text));
            if (order.open) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
                item->setForeground(kOpenColour);
            }
            m_ui->orders->setItem(row, column++, item);
        }
        shown += Q(order.time) + ' ' + Q(order.seat) + ' ' + Q(order.serial) + ' ' +
                 Q(order.state) + '\n';
    }
    m_ui->orders->resizeColumnsToContents();
    gui::LogWindow(windowTitle(), shown);
}

int COrdersDlg::Rows() const {
    return m_ui->orders->rowCount();
}

QString COrdersDlg::Cell(int row, int column) const {
    const QTableWidgetItem* item = m_ui->orders->item(row, column);
    return item == nullptr ? QString() : item->text();
}

bool COrdersDlg::IsMarkedOpen(int row) const {
    const QTableWidgetItem* item = m_ui->orders->item(row, kStateColumn);
    return item != nullptr && item->font().bold();
}

void COrdersDlg::OpenRow(int row) {
    if (row >= 0 && row < static_cast<int>(m_serials.size())) {
        m_open(m_serials[static_cast<std::size_t>(row)]);
    }
}

}  // namespace zn::console
