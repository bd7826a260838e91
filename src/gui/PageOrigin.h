#pragma once

#include <QUrl>

#include "common/PageOrigins.h"

namespace zn::gui {

// True when the page at `url` is one of `origins`. Host names compare without case; a file
// counts by its path with every "." and ".." resolved and links followed.
bool IsAllowedOrigin(const PageOrigins& origins, const QUrl& url);

}  // namespace zn::gui
