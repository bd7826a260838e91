#include "SysSettingDlg.h"

#include <QGuiApplication>
#include <QUrl>

#include <vector>

#include "ConfigMessage.h"
#include "config/ConfigFiles.h"
#include "gui/DialogUnits.h"
#include "gui/FixedDialog.h"
#include "gui/PageHost.h"
#include "gui/PageValues.h"
#include "gui/QtText.h"
#include "platform/Log.h"
#include "ui_SysSettingDlg.h"

namespace zn::config {

namespace {

using gui::Q;

// The template's size, in dialog units.
constexpr QSize kDialogUnits{289, 234};
// Shown while the partner's page loads.
const QUrl kPlaceholderPage(QStringLiteral("qrc:/zn/config/SysSettingDlg.html"));

}  // namespace

SysSettingDlg::SysSettingDlg(QWidget* parent)
    : SysSettingDlg(DefaultPartnerSite(), AlertSoundPath(), parent) {}

SysSettingDlg::SysSettingDlg(PartnerSite site, std::filesystem::path soundFile, QWidget* parent)
    : TaskPage(parent),
      m_ui(std::make_unique<Ui::SysSettingDlg>()),
      m_site(std::move(site)),
      m_soundFile(std::move(soundFile)),
      m_page(new gui::PageHost(this)) {
    m_ui->setupUi(this);
    setWindowFlags(gui::kFixedDialogFlags);
    CancelOnEscapeAnywhere();
    setFixedSize(gui::DialogUnitsToPixels(font(), kDialogUnits));
    delete m_ui->dialogLayout->replaceWidget(m_ui->pagePlaceholder, m_page);
    delete m_ui->pagePlaceholder;
    m_ui->pagePlaceholder = nullptr;

    std::vector<std::string> ids;
    for (const auto& event : kSoundPageEvents) {
        ids.emplace_back(event.id);
    }
    m_page->SetBoundIds(ids);
    m_page->SetClickOrigins([address = m_site.address] { return PageOrigins{{address}, {}, {}}; });
    connect(m_page, &gui::PageHost::Clicked, this, &SysSettingDlg::OnClick);
    connect(m_page, &gui::PageHost::LoadFinished, this, &SysSettingDlg::OnLoadFinished);
    m_page->Navigate(kPlaceholderPage);
}

SysSettingDlg::~SysSettingDlg() {
    if (m_download.joinable()) {
        m_download.join();
    }
}

void SysSettingDlg::OnLoadFinished(const QUrl& url, bool) {
    // The placeholder stays in view until the partner's page has arrived.
    if (url == kPlaceholderPage && !m_partnerPageAsked) {
        m_partnerPageAsked = true;
        m_page->Navigate(std::string_view(SoundPageAddress(m_site)));
    }
}

void SysSettingDlg::OnClick(const std::string& id, const gui::PageValues& values) {
    // One download at a time: clicks during one, or queued while its message box shows, would
    // start another inside it.
    if (m_downloading) {
        log::Info("Click on {} ignored: a download is still being answered", log::Printable(id));
        return;
    }
    switch (FindSoundPageAction(id)) {
        case SoundPageAction::Download:
            Download(values.Get(kSoundPathId));
            break;
        case SoundPageAction::Cancel:
            reject();
            break;
        case SoundPageAction::None:
            break;
    }
}

void SysSettingDlg::reject() {
    if (m_downloading) {
        log::Info("The sound page stays open: a download is still being answered");
        return;
    }
    TaskPage::reject();
}

void SysSettingDlg::Download(const std::string& soundPath) {
    m_downloading = true;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    // The site and the file stay as they are while the page lives; the destructor waits for it.
    m_download = std::thread([this, soundPath] {
        const bool downloaded = DownloadAlertSound(m_site, soundPath, m_soundFile) > 0;
        QMetaObject::invokeMethod(
            this, [this, downloaded] { DownloadEnded(downloaded); }, Qt::QueuedConnection);
    });
}

void SysSettingDlg::DownloadEnded(bool downloaded) {
    m_download.join();
    QGuiApplication::restoreOverrideCursor();
    ShowMessage(this, Q(downloaded ? kSoundUpdatedMessage : kSoundFailedMessage));
    m_downloading = false;
}

}  // namespace zn::config
