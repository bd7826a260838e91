#include "ViewSeatDlg.h"

#include <QKeyEvent>

#include "console/ConsoleTexts.h"
#include "gui/FixedDialog.h"
#include "gui/MessageBox.h"
#include "gui/QtText.h"
#include "ui_ViewSeatDlg.h"

namespace zn::console {

using gui::Q;

CViewSeatDlg::CViewSeatDlg(const std::string& address, SeatLookUp lookUp, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::ViewSeatDlg>()), m_lookUp(std::move(lookUp)) {
    m_ui->setupUi(this);
    setWindowFlags(gui::kFixedDialogFlags);
    setWindowTitle(Q(texts::kSeatViewerCaption));
    m_ui->ipLabel->setText(Q(texts::kSeatViewerIpLabel));
    m_ui->seatLabel->setText(Q(texts::kSeatViewerSeatLabel));
    m_ui->find->setText(Q(texts::kSeatViewerFindButton));
    connect(m_ui->find, &QPushButton::clicked, this, &CViewSeatDlg::FindSeat);
    SetAddressText(address);
    FindSeat();
}

CViewSeatDlg::~CViewSeatDlg() = default;

void CViewSeatDlg::Show(QWidget* parent, const std::string& address, SeatLookUp lookUp) {
    CViewSeatDlg viewer(address, std::move(lookUp), parent);
    const QString shown = Q(texts::kSeatViewerIpLabel) + QStringLiteral("：") + Q(address) + '\n' +
                          Q(texts::kSeatViewerSeatLabel) + QStringLiteral("：") +
                          QString::fromStdString(viewer.SeatText());
    if (gui::AutomatedFieldAnswer(Q(texts::kSeatViewerCaption), shown, 0,
                                  gui::FieldAnswer{gui::DialogAnswer::Ok, {}})) {
        return;
    }
    viewer.exec();
}

std::string CViewSeatDlg::SeatText() const {
    return m_ui->seat->text().toStdString();
}

void CViewSeatDlg::SetAddressText(const std::string& address) {
    m_ui->ip->setText(QString::fromStdString(address));
}

void CViewSeatDlg::FindSeat() {
    m_ui->seat->setText(QString::fromStdString(m_lookUp(m_ui->ip->text().toStdString())));
}

void CViewSeatDlg::keyPressEvent(QKeyEvent* event) {
    // Enter ends the viewer as the dialog's OK would; the look-up is the button's alone.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace zn::console
