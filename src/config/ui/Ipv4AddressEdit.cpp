#include "Ipv4AddressEdit.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QValidator>

#include <algorithm>

namespace zn::config {
namespace {

// A field takes up to three digits worth at most 255, as the address control does; anything
// else is refused while typing.
class OctetValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& text, int&) const override {
        if (text.isEmpty()) {
            return Intermediate;
        }
        bool number = false;
        const uint value = text.toUInt(&number);
        const bool digitsOnly =
            std::all_of(text.begin(), text.end(), [](QChar c) { return c >= '0' && c <= '9'; });
        return number && digitsOnly && text.size() <= 3 && value <= 255 ? Acceptable : Invalid;
    }
};

}  // namespace

Ipv4AddressEdit::Ipv4AddressEdit(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* validator = new OctetValidator(this);
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        if (i > 0) {
            layout->addWidget(new QLabel(QStringLiteral("."), this));
        }
        QLineEdit* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("field%1").arg(i));
        field->setValidator(validator);
        field->setMaxLength(3);
        field->setAlignment(Qt::AlignCenter);
        field->setFixedWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 8);
        field->installEventFilter(this);
        const int index = static_cast<int>(i);
        connect(field, &QLineEdit::textEdited, this, [this, index] { Edited(index); });
        layout->addWidget(field);
        m_fields[i] = field;
    }
    setFocusProxy(m_fields.front());
}

Ipv4Octets Ipv4AddressEdit::Address() const {
    Ipv4Octets octets{};
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        octets[i] = static_cast<std::uint8_t>(m_fields[i]->text().toUInt());
    }
    return octets;
}

void Ipv4AddressEdit::SetAddress(const Ipv4Octets& octets) {
    SetFields({octets[0], octets[1], octets[2], octets[3]});
}

void Ipv4AddressEdit::SetFields(const Ipv4Fields& fields) {
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        m_fields[i]->setText(fields[i] ? QString::number(*fields[i]) : QString());
    }
}

bool Ipv4AddressEdit::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Period) {
        for (std::size_t i = 0; i + 1 < m_fields.size(); ++i) {
            if (watched == m_fields[i] && !m_fields[i]->text().isEmpty()) {
                m_fields[i + 1]->setFocus();
                m_fields[i + 1]->selectAll();
            }
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Ipv4AddressEdit::Edited(int field) {
    const auto index = static_cast<std::size_t>(field);
    if (m_fields[index]->text().size() == 3 && index + 1 < m_fields.size()) {
        m_fields[index + 1]->setFocus();
        m_fields[index + 1]->selectAll();
    }
    emit FieldChanged(field);
}

}  // namespace zn::config
