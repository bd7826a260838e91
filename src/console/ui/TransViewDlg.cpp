#include "TransViewDlg.h"

#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>

#include "console/ConsoleTexts.h"
#include "gui/DialogAutomation.h"
#include "gui/FixedDialog.h"
#include "gui/MessageBox.h"
#include "gui/QtText.h"
#include "ui_TransViewDlg.h"

namespace zn::console {

namespace {

using gui::Q;

// What the automation log keeps of the shown page's text.
constexpr qsizetype kLoggedTextChars = 4096;
// An automated view that never finishes loading still closes.
constexpr int kAutomatedLoadLimitMs = 15000;

}  // namespace

CTransViewDlg::CTransViewDlg(std::filesystem::path pageFile, QWidget* parent)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::TransViewDlg>()),
      m_pageFile(std::move(pageFile)),
      m_browser(new QWebEngineView(this)) {
    m_ui->setupUi(this);
    setWindowFlags(gui::kFixedDialogFlags);
    setWindowTitle(Q(texts::kTransactionViewCaption));
    m_ui->print->setText(Q(texts::kTransactionViewPrintButton));
    m_ui->close->setText(Q(texts::kTransactionViewCloseButton));
    // The browser takes the placeholder's place.
    m_browser->setMinimumSize(m_ui->browserPlaceholder->minimumSize());
    delete m_ui->dialogLayout->replaceWidget(m_ui->browserPlaceholder, m_browser);
    delete m_ui->browserPlaceholder;
    m_ui->browserPlaceholder = nullptr;
    connect(m_ui->close, &QPushButton::clicked, this, &CTransViewDlg::reject);
}

CTransViewDlg::~CTransViewDlg() = default;

void CTransViewDlg::Run() {
    if (gui::DialogAutomation::Process().IsActive()) {
        connect(m_browser, &QWebEngineView::loadFinished, this,
                &CTransViewDlg::AnswerAutomatically);
        QTimer::singleShot(kAutomatedLoadLimitMs, this, &CTransViewDlg::AnswerAutomatically);
    }
    m_browser->load(QUrl::fromLocalFile(QString::fromStdString(m_pageFile.string())));
    exec();
}

void CTransViewDlg::AnswerAutomatically() {
    m_browser->page()->runJavaScript(
        QStringLiteral("document.body ? document.body.innerText : ''"),
        [view = QPointer<CTransViewDlg>(this)](const QVariant& result) {
            if (view == nullptr || !view->isVisible()) {
                return;
            }
            gui::AutomatedFieldAnswer(Q(texts::kTransactionViewCaption),
                                      result.toString().left(kLoggedTextChars), 0,
                                      gui::FieldAnswer{gui::DialogAnswer::Ok, {}});
            view->reject();
        });
}

}  // namespace zn::console
