#include "NotificationConfigDlg.h"

#include <unistd.h>

#include <QUrl>

#include "TemplateSize.h"
#include "config/ConfigFiles.h"
#include "gui/DialogUnits.h"
#include "gui/FixedDialog.h"
#include "gui/MessageBox.h"
#include "gui/PageHost.h"
#include "gui/QtText.h"
#include "ui_NotificationConfigDlg.h"

namespace zn::config {

namespace {

using gui::Q;

// The preview frame of the template, in dialog units.
constexpr QSize kPreviewUnits{455, 144};

}  // namespace

NotificationConfigDlg::NotificationConfigDlg(QWidget* parent)
    : NotificationConfigDlg(NoticePagePath(), Registry(Registry::DefaultFolder()), parent) {}

NotificationConfigDlg::NotificationConfigDlg(std::filesystem::path pageFile, Registry registry,
                                             QWidget* parent)
    : TaskPage(parent),
      m_ui(std::make_unique<Ui::NotificationConfigDlg>()),
      m_pageFile(std::move(pageFile)),
      m_registry(std::move(registry)),
      m_preview(new gui::PageHost(this)) {
    m_ui->setupUi(this);
    setWindowFlags(gui::kFixedDialogFlags);
    CancelOnEscapeAnywhere();
    // The browser takes the frame's place.
    m_preview->setFixedSize(gui::DialogUnitsToPixels(font(), kPreviewUnits));
    delete m_ui->dialogLayout->replaceWidget(m_ui->previewPlaceholder, m_preview);
    delete m_ui->previewPlaceholder;
    m_ui->previewPlaceholder = nullptr;
    KeepTemplateSize(*this);

    connect(m_ui->firstPreset, &QRadioButton::clicked, this,
            [this] { Choose(NoticeChoice::FirstPreset); });
    connect(m_ui->secondPreset, &QRadioButton::clicked, this,
            [this] { Choose(NoticeChoice::SecondPreset); });
    connect(m_ui->ownChoice, &QRadioButton::clicked, this,
            [this] { Choose(NoticeChoice::OwnText); });
    connect(m_ui->set, &QPushButton::clicked, this, &NotificationConfigDlg::Generate);
    connect(m_ui->back, &QPushButton::clicked, this, &NotificationConfigDlg::GoBack);
    connect(m_ui->exit, &QPushButton::clicked, this, &NotificationConfigDlg::ConfirmExit);

    if (::access(m_pageFile.c_str(), R_OK) == 0) {
        ShowPreview();
    }
}

NotificationConfigDlg::~NotificationConfigDlg() = default;

void NotificationConfigDlg::Choose(NoticeChoice choice) {
    m_choice = choice;
    m_ui->ownText->setEnabled(choice == NoticeChoice::OwnText);
    if (choice == NoticeChoice::OwnText) {
        m_ui->ownText->setFocus();
    }
}

void NotificationConfigDlg::Generate() {
    std::string failure;
    switch (WriteNoticePage(m_pageFile, m_choice, m_ui->ownText->text().toStdString(), m_registry,
                            &failure)) {
        case NoticeWriteResult::Written:
            ShowPreview();
            break;
        case NoticeWriteResult::EmptyOwnText:
            gui::MessageBox(this, Q(kEmptyOwnTextMessage), Q(kNoticeErrorCaption),
                            gui::DialogIcon::Error);
            break;
        case NoticeWriteResult::WriteFailed:
            gui::MessageBox(this, Q(WriteFailedMessage(failure)), Q(kNoticeErrorCaption),
                            gui::DialogIcon::Error);
            break;
    }
}

void NotificationConfigDlg::ShowPreview() {
    m_preview->Navigate(QUrl::fromLocalFile(QString::fromStdString(m_pageFile.string())));
}

}  // namespace zn::config
