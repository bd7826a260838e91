#pragma once

#include <QIcon>

namespace zn::client {

// The seat client's window icon (the Windows program's icon 130), drawn at the usual sizes.
QIcon DrawClientIcon();

}  // namespace zn::client
