#include "WizardShell.h"

#include <utility>

#include "ConfigMessage.h"
#include "platform/Log.h"

namespace zn::config {

WizardShell::WizardShell(TaskPageFactory createPage) : m_createPage(std::move(createPage)) {}

void WizardShell::Run() {
    while (true) {
        // A fresh page each time: a choice made before is forgotten.
        WizardWelcomeDlg welcome;
        if (welcome.exec() != QDialog::Accepted || !RunTask(welcome.Choice())) {
            return;
        }
    }
}

bool WizardShell::RunTask(WizardChoice choice) {
    const std::unique_ptr<TaskPage> page = m_createPage(choice, nullptr);
    if (!page) {
        ShowMessage(nullptr, QStringLiteral("功能尚未实现!"));
        return true;
    }
    log::Info("task page {} opened", static_cast<int>(choice));
    return page->exec() != QDialog::Accepted && page->WentBack();
}

}  // namespace zn::config
