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
        // One tab stop for the whole control, as the address control has; a click still enters
        // any field.
        if (i > 0) {
            field->setFocusPolicy(Qt::ClickFocus);
        }
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
    const auto found = std::ranges::find(m_fields, watched);
    if (event->type() != QEvent::KeyPress || found == m_fields.end()) {
        return QWidget::eventFilter(watched, event);
    }
    const auto index = static_cast<std::size_t>(found - m_fields.begin());
    return FieldKey(index, *static_cast<QKeyEvent*>(event));
}

bool Ipv4AddressEdit::FieldKey(std::size_t index, const QKeyEvent& key) {
    QLineEdit* field = m_fields[index];
    const bool hasPrevious = index > 0;
    const bool hasNext = index + 1 < m_fields.size();
    const bool plain = !field->hasSelectedText();
    const bool backtab = key.key() == Qt::Key_Backtab ||
                         (key.key() == Qt::Key_Tab && key.modifiers() & Qt::ShiftModifier);
    if (backtab && hasPrevious) {
        // Out of the control from any field: back from its first one.
        m_fields.front()->setFocus(Qt::BacktabFocusReason);
        focusNextPrevChild(false);
        return true;
    }
    switch (key.key()) {
        case Qt::Key_Period:
            if (hasNext && !field->text().isEmpty()) {
                m_fields[index + 1]->setFocus();
                m_fields[index + 1]->selectAll();
            }
            return true;
        case Qt::Key_Backspace:
            if (hasPrevious && field->text().isEmpty()) {
                EnterField(index - 1, true);
                return true;
            }
            return false;
        case Qt::Key_Left:
            if (hasPrevious && plain && field->cursorPosition() == 0 &&
                !(key.modifiers() & ~Qt::KeypadModifier)) {
                EnterField(index - 1, true);
                return true;
            }
            return false;
        case Qt::Key_Right:
            if (hasNext && plain && field->cursorPosition() == field->text().size() &&
                !(key.modifiers() & ~Qt::KeypadModifier)) {
                EnterField(index + 1, false);
                return true;
            }
            return false;
        default:
            return false;
    }
}

void Ipv4AddressEdit::EnterField(std::size_t index, bool atEnd) {
    QLineEdit* field = m_fields[index];
    field->setFocus();
    field->setCursorPosition(atEnd ? static_cast<int>(field->text().size()) : 0);
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
