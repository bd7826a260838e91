#include "ConfirmingTaskPage.h"

namespace zn::config {

void ConfirmingTaskPage::reject() {
    ConfirmExit();
}

}  // namespace zn::config
