#pragma once

#include "TaskPage.h"

namespace zn::config {

// A task page whose cancel is the exit confirmation: Esc and the close box are cancel on a
// dialog, so they ask as well.
class ConfirmingTaskPage : public TaskPage {
    Q_OBJECT

public:
    using TaskPage::TaskPage;

    // Cancel, Esc and the close box.
    void reject() override;
};

}  // namespace zn::config
