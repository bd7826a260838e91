#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "TaskPage.h"
#include "config/AlertSound.h"

namespace Ui {
class SysSettingDlg;
}

namespace zn::gui {
class PageHost;
class PageValues;
}  // namespace zn::gui

namespace zn::config {

// The alert sound task: the partner site's sound page in a browser. Its "ButtonSetSound" fetches
// the sound at "SoundPath" into the console's alert sound, off the UI thread under a busy cursor:
// the page repaints meanwhile, and its clicks, Esc and the close box are dropped until the result
// has been told. "ButtonCancel" closes the page (the program ends: this page has no way back).
// Only clicks from the partner's pages count.
class SysSettingDlg : public TaskPage {
    Q_OBJECT

public:
    // The built-in partner site and the console's alert sound.
    explicit SysSettingDlg(QWidget* parent);
    SysSettingDlg(PartnerSite site, std::filesystem::path soundFile, QWidget* parent);
    ~SysSettingDlg() override;

public slots:
    // Esc, the close box and "ButtonCancel"; not while a download runs.
    void reject() override;

private:
    void OnLoadFinished(const QUrl& url, bool ok);
    void OnClick(const std::string& id, const gui::PageValues& values);
    // Starts the download on a thread of its own; DownloadEnded tells its result.
    void Download(const std::string& soundPath);
    void DownloadEnded(bool downloaded);

    std::unique_ptr<Ui::SysSettingDlg> m_ui;
    PartnerSite m_site;
    std::filesystem::path m_soundFile;
    gui::PageHost* m_page;
    bool m_partnerPageAsked = false;
    // From a download's start until its result has been told.
    bool m_downloading = false;
    std::thread m_download;
};

}  // namespace zn::config
