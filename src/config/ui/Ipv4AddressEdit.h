#pragma once

#include <QWidget>

#include <array>

#include "config/Ipv4Fields.h"

class QLineEdit;

namespace zn::config {

// An IPv4 address control: four fields that take a number from 0 to 255 each; "." or a third
// digit moves on to the next field. A blank field reads as 0.
class Ipv4AddressEdit : public QWidget {
    Q_OBJECT

public:
    explicit Ipv4AddressEdit(QWidget* parent = nullptr);

    Ipv4Octets Address() const;
    // Setting fields announces nothing, as the control does not.
    void SetAddress(const Ipv4Octets& octets);
    void SetFields(const Ipv4Fields& fields);

signals:
    // The user changed the text of a field (0 to 3).
    void FieldChanged(int field);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Edited(int field);

    std::array<QLineEdit*, 4> m_fields{};
};

}  // namespace zn::config
