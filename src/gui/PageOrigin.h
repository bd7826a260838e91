#pragma once

#include <QUrl>

#include "common/PageOrigins.h"

namespace zn::gui {

// True when the page at `url` is one of `origins` (followRedirects aside: PageHost keeps those).
// Host names compare without case; a file counts by its path with every "." and ".." resolved and
// links followed.
bool IsAllowedOrigin(const PageOrigins& origins, const QUrl& url);

// The page's origin as text: scheme, host and port ("http://bo.example.com:80"); "file:" for
// every local file; the empty text for an address without a host.
QString OriginOf(const QUrl& url);

}  // namespace zn::gui
