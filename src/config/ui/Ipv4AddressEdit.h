#pragma once

#include <QWidget>

#include <array>

#include "config/Ipv4Fields.h"

class QKeyEvent;
class QLineEdit;

namespace zn::config {

// An IPv4 address control: four fields that take a number from 0 to 255 each, one tab stop in
// all. "." or a third digit moves on to the next field; Left and Right cross into the neighbour
// field at its edge, Backspace in an empty field goes back to the end of the one before. A blank
// field reads as 0.
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
    // True when the key was the control's to handle.
    bool FieldKey(std::size_t index, const QKeyEvent& key);
    void EnterField(std::size_t index, bool atEnd);
    void Edited(int field);

    std::array<QLineEdit*, 4> m_fields{};
};

}  // namespace zn::config
