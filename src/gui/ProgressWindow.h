#pragma once

#include <QSize>
#include <QTimer>
#include <QWidget>

class QLabel;
class QProgressBar;

namespace zn::gui {

// The small connecting-progress window: no title bar, a centred line of text above a bar that
// fills in ten steps, one every 100 ms, and starts again from empty for as long as it is open.
class ProgressWindow : public QWidget {
    Q_OBJECT

public:
    // Sizes in dialog units, as the programs' templates give them.
    static constexpr QSize kConsoleSize{186, 50};
    static constexpr QSize kSeatClientSize{186, 47};

    explicit ProgressWindow(const QString& text, QSize dialogUnits = kConsoleSize,
                            QWidget* parent = nullptr);

    QString Text() const;
    int Position() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Advance();

    QLabel* m_text;
    QProgressBar* m_bar;
    QTimer m_timer;
};

}  // namespace zn::gui
