#include "TaskPageFactory.h"

#include "NotificationConfigDlg.h"
#include "ProxyIPConfigDlg.h"
#include "SeatConfigDlg.h"
#include "SysSettingDlg.h"

namespace zn::config {

std::unique_ptr<TaskPage> CreateTaskPage(WizardChoice choice, QWidget* parent) {
    switch (choice) {
        case WizardChoice::ServerAddress:
            return std::make_unique<ProxyIPConfigDlg>(parent);
        case WizardChoice::SeatMapping:
            return std::make_unique<SeatConfigDlg>(parent);
        case WizardChoice::NoticePage:
            return std::make_unique<NotificationConfigDlg>(parent);
        case WizardChoice::AlertSound:
            return std::make_unique<SysSettingDlg>(parent);
        case WizardChoice::None:
            break;
    }
    return nullptr;
}

}  // namespace zn::config
