#pragma once

#include <filesystem>
#include <memory>

#include "TaskPage.h"
#include "config/NoticePage.h"
#include "platform/Registry.h"

namespace Ui {
class NotificationConfigDlg;
}

namespace zn::gui {
class PageHost;
}

namespace zn::config {

// The notice page task: one of two preset messages or an own text becomes "RequestReceived.html"
// in the console's folder, previewed below the choices. "设置" writes the page and keeps the task
// open; it is the default button, so Enter (the template's OK) does the same.
class NotificationConfigDlg : public TaskPage {
    Q_OBJECT

public:
    // The console's notice page and registry.
    explicit NotificationConfigDlg(QWidget* parent);
    NotificationConfigDlg(std::filesystem::path pageFile, Registry registry, QWidget* parent);
    ~NotificationConfigDlg() override;

private:
    void Choose(NoticeChoice choice);
    void Generate();
    void ShowPreview();

    std::unique_ptr<Ui::NotificationConfigDlg> m_ui;
    std::filesystem::path m_pageFile;
    Registry m_registry;
    gui::PageHost* m_preview;
    NoticeChoice m_choice = NoticeChoice::None;
};

}  // namespace zn::config
