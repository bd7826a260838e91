#include "gui/WebSocketGuard.h"

#include <QWebEngineUrlRequestInfo>

#include "platform/Log.h"

namespace zn::gui {

void WebSocketGuard::interceptRequest(QWebEngineUrlRequestInfo& info) {
    if (info.resourceType() != QWebEngineUrlRequestInfo::ResourceTypeWebSocket) {
        return;
    }
    const QString scheme = info.initiator().scheme();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) {
        return;
    }
    log::Warn("WebSocket to {} refused: opened by {}",
              log::Printable(info.requestUrl().toString().toStdString()),
              log::Printable(info.firstPartyUrl().toString().toStdString()));
    info.block(true);
}

}  // namespace zn::gui
