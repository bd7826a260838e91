#pragma once

#include <QDialog>

#include <memory>
#include <string>

#include "console/ConsoleUi.h"

namespace Ui {
class ViewSeatDlg;
}

namespace zn::console {

// The seat viewer (template 134): an address, its seat number and "查找座号" to look up another
// one. Enter and Escape close it; nothing is saved. In automation mode it logs the address and
// the seat it shows and closes at once.
class CViewSeatDlg : public QDialog {
    Q_OBJECT

public:
    CViewSeatDlg(const std::string& address, SeatLookUp lookUp, QWidget* parent = nullptr);
    ~CViewSeatDlg() override;

    // Runs the viewer modally. UI thread.
    static void Show(QWidget* parent, const std::string& address, SeatLookUp lookUp);

    std::string SeatText() const;
    void SetAddressText(const std::string& address);
    // "查找座号": the typed address looked up.
    void FindSeat();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::unique_ptr<Ui::ViewSeatDlg> m_ui;
    SeatLookUp m_lookUp;
};

}  // namespace zn::console
