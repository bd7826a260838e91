#pragma once

#include "TaskPageFactory.h"

namespace zn::config {

// The wizard's chain of modal pages: a welcome page, then the page of the chosen task. A task
// page's "上一步" brings a fresh welcome page; every other way of closing a page ends the chain.
class WizardShell {
public:
    explicit WizardShell(TaskPageFactory createPage = CreateTaskPage);

    // Runs the chain to its end. UI thread.
    void Run();

private:
    // True when the task page sends the user back to a fresh welcome page.
    bool RunTask(WizardChoice choice);

    TaskPageFactory m_createPage;
};

}  // namespace zn::config
