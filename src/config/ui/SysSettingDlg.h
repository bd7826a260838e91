#pragma once

#include <filesystem>
#include <memory>
#include <string>

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
// the sound at "SoundPath" into the console's alert sound; "ButtonCancel" closes the page (the
// program ends: this page has no way back). Only clicks from the partner's pages count.
class SysSettingDlg : public TaskPage {
    Q_OBJECT

public:
    // The built-in partner site and the console's alert sound.
    explicit SysSettingDlg(QWidget* parent);
    SysSettingDlg(PartnerSite site, std::filesystem::path soundFile, QWidget* parent);
    ~SysSettingDlg() override;

private:
    void OnLoadFinished(const QUrl& url, bool ok);
    void OnClick(const std::string& id, const gui::PageValues& values);
    void Download(const std::string& soundPath);

    std::unique_ptr<Ui::SysSettingDlg> m_ui;
    PartnerSite m_site;
    std::filesystem::path m_soundFile;
    gui::PageHost* m_page;
    bool m_partnerPageAsked = false;
    bool m_downloading = false;
};

}  // namespace zn::config
