#pragma once

#include <QDialog>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "console/OrderTexts.h"

namespace Ui {
class OrdersDlg;
}

namespace zn::console {

// "今日订单": the day's orders, newest first, the open ones marked. Not modal, so the cashier
// works in the back office while it stays open; opening a row (double click, Enter or "打开订单")
// hands its serial on. In automation mode it shows as usual and logs what it shows.
class COrdersDlg : public QDialog {
    Q_OBJECT

public:
    using OpenOrder = std::function<void(const std::string& serial)>;

    COrdersDlg(OpenOrder open, QWidget* parent = nullptr);
    ~COrdersDlg() override;

    void SetOrders(const std::vector<OrderRow>& rows, const std::string& summary);

    int Rows() const;
    QString Cell(int row, int column) const;
    bool IsMarkedOpen(int row) const;
    // As a double click on the row does.
    void OpenRow(int row);

private:
    std::unique_ptr<Ui::OrdersDlg> m_ui;
    OpenOrder m_open;
    std::vector<std::string> m_serials;
};

}  // namespace zn::console
