#include "TaskPageFactory.h"

#include "ProxyIPConfigDlg.h"
#include "SeatConfigDlg.h"

namespace zn::config {

std::unique_ptr<TaskPage> CreateTaskPage(WizardChoice choice, QWidget* parent) {
    switch (choice) {
        case WizardChoice::ServerAddress:
            return std::make_unique<ProxyIPConfigDlg>(parent);
        case WizardChoice::SeatMapping:
            return std::make_unique<SeatConfigDlg>(parent);
        case WizardChoice::NoticePage:
        case WizardChoice::AlertSound:
        case WizardChoice::None:
            break;
    }
    return nullptr;
}

}  // namespace zn::config
