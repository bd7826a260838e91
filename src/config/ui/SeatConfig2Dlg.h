#pragma once

#include <QDialog>

#include <memory>

#include "config/SeatListFile.h"

namespace Ui {
class SeatConfig2Dlg;
}

namespace zn::config {

// Adds or edits one row: a seat number and an address. It validates nothing; blank address
// fields read as 0.
class SeatConfig2Dlg : public QDialog {
    Q_OBJECT

public:
    explicit SeatConfig2Dlg(QWidget* parent);
    ~SeatConfig2Dlg() override;

    // An address that is empty leaves the fields blank.
    void SetRow(const SeatRow& row);
    SeatRow Row() const;

private:
    std::unique_ptr<Ui::SeatConfig2Dlg> m_ui;
};

}  // namespace zn::config
