#pragma once

#include <QDialog>

#include <memory>

#include "config/SeatBatch.h"

namespace Ui {
class ConfigSeat3Dlg;
}

namespace zn::config {

// Batch add. The two addresses stay in one /24 block: a field changed in one copies its first
// three octets into the other, and the count shown follows their last octets.
class ConfigSeat3Dlg : public QDialog {
    Q_OBJECT

public:
    explicit ConfigSeat3Dlg(QWidget* parent);
    ~ConfigSeat3Dlg() override;

    // What was accepted.
    const SeatBatch& Batch() const { return m_batch; }

public slots:
    // Refuses a count of 0 and a start seat number that is not an integer; the dialog stays.
    void accept() override;

private:
    void AddressChanged(bool startChanged);

    std::unique_ptr<Ui::ConfigSeat3Dlg> m_ui;
    int m_count = 0;
    SeatBatch m_batch;
};

}  // namespace zn::config
