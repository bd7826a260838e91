#include "gui/PageView.h"

#include <QContextMenuEvent>
#include <QWebEngineContextMenuRequest>

#include "gui/ContextMenuRule.h"

namespace zn::gui {

void PageView::contextMenuEvent(QContextMenuEvent* event) {
    const QWebEngineContextMenuRequest* request = lastContextMenuRequest();
    if (request == nullptr) {
        event->accept();
        return;
    }
    const ContextMenuTarget target{
        .media = request->mediaType() != QWebEngineContextMenuRequest::MediaTypeNone,
        .editable = request->isContentEditable(),
        .selection = !request->selectedText().isEmpty(),
        .link = !request->linkUrl().isEmpty(),
    };
    if (!ShowsBrowserMenu(target)) {
        event->accept();
        return;
    }
    QWebEngineView::contextMenuEvent(event);
}

}  // namespace zn::gui
