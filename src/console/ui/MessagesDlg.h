#pragma once

#include <QDialog>

#include <memory>
#include <vector>

#include "console/MessageLog.h"

namespace Ui {
class MessagesDlg;
}

namespace zn::console {

// The day's customer messages, newest first: time, seat and the whole text. In automation mode
// it logs them and closes at once.
class CMessagesDlg : public QDialog {
    Q_OBJECT

public:
    CMessagesDlg(const std::vector<CustomerMessage>& messages, QWidget* parent = nullptr);
    ~CMessagesDlg() override;

    // Runs the window modally. UI thread.
    static void Show(QWidget* parent, const std::vector<CustomerMessage>& messages);

    int Rows() const;
    QString Cell(int row, int column) const;

private:
    std::unique_ptr<Ui::MessagesDlg> m_ui;
};

}  // namespace zn::console
