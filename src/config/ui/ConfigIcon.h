#pragma once

#include <QIcon>

namespace zn::config {

// The configuration tool's icon, large and small.
QIcon DrawConfigIcon();

}  // namespace zn::config
