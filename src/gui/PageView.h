#pragma once

#include <QWebEngineView>

namespace zn::gui {

// The browser view of a page host: the browser's context menu only where the page is not plain.
class PageView : public QWebEngineView {
public:
    using QWebEngineView::QWebEngineView;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
};

}  // namespace zn::gui
