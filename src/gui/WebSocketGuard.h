#pragma once

#include <QWebEngineUrlRequestInterceptor>

namespace zn::gui {

// Lets only web pages (http, https) open WebSockets: a page shown from a local file, or one
// without an address, could otherwise send what it holds to any host.
class WebSocketGuard final : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void interceptRequest(QWebEngineUrlRequestInfo& info) override;
};

}  // namespace zn::gui
