#pragma once

#include <functional>
#include <memory>

#include "TaskPage.h"
#include "WizardWelcomeDlg.h"

namespace zn::config {

// The task page of a choice, or null for a choice that has none.
using TaskPageFactory = std::function<std::unique_ptr<TaskPage>(WizardChoice, QWidget* parent)>;

// The tool's own pages.
std::unique_ptr<TaskPage> CreateTaskPage(WizardChoice choice, QWidget* parent);

}  // namespace zn::config
