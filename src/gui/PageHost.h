#pragma once

#include <QSet>
#include <QUrl>
#include <QWidget>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/PageOrigins.h"
#include "gui/PageValues.h"

class QWebEngineView;

namespace zn::gui {

class PageBridge;
class PageView;

enum class MarkupPart { Body, Document };
enum class MarkupStatus { Read, NoElement, TooLarge };

// A web page inside a program window, met only through the page contract: clicks on elements
// with bound ids (with the values of the page's elements at that moment), value writes and
// markup reads by element id. Clicks count on the top document only, and only from pages that
// the program's origins accept. Pages from local files read no other local files, and only web
// pages open WebSockets. UI thread only.
class PageHost : public QWidget {
    Q_OBJECT

public:
    // Markup longer than this (in characters) is not read.
    static constexpr std::size_t kMaxMarkupChars = 8 * 1024 * 1024;

    using MarkupCallback = std::function<void(MarkupStatus status, std::string html)>;
    // The pages whose clicks count, asked at each click (settings may change meanwhile).
    using OriginSource = std::function<PageOrigins()>;

    explicit PageHost(QWidget* parent = nullptr);
    ~PageHost() override;

    // The element ids whose clicks are reported (a click inside such an element counts for it),
    // and those of them whose clicks carry the body's markup (PageValues::Body). Applies at once,
    // to the current page too.
    void SetBoundIds(const std::vector<std::string>& ids,
                     const std::vector<std::string>& bodyIds = {});
    // Until this is set, no click counts. A refused click is logged once per page address.
    void SetClickOrigins(OriginSource origins);
    // The origins learnt from redirects, and those told of refused clicks, are kept up to this
    // many each: a page cannot make the host keep, or tell of, origins without end.
    static constexpr qsizetype kMaxKeptOrigins = 32;

    void Navigate(const QUrl& url);
    // An address as the program has it (UTF-8, not percent-encoded).
    void Navigate(std::string_view address);
    // True when the top document is at `url`, or the last Navigate asked for it and the page has
    // not gone elsewhere since (a load takes a moment to commit). Local files compare by path.
    bool Shows(const QUrl& url) const;
    bool Shows(std::string_view address) const;

    // Sets the `value` of the element with this id; nothing happens when there is none.
    void SetElementValue(std::string_view id, std::string_view value);

    // The outer HTML of the body or of the root element of the top document, in UTF-8, given to
    // `done` later on the UI thread; an empty text with NoElement or TooLarge when not read.
    void ReadOuterHtml(MarkupPart part, MarkupCallback done);

    QWebEngineView* View() const;

signals:
    // A bound element was clicked. Delivered from the event loop, never from inside the page's
    // own callbacks, so a handler may show modal dialogs or navigate.
    void Clicked(const std::string& id, const zn::gui::PageValues& values);
    // The top document finished loading (ok) or failed.
    void LoadFinished(const QUrl& url, bool ok);
    // A click was refused because its page is outside the origins: once for each origin.
    // Delivered from the event loop, as Clicked.
    void ClickRefused(const QUrl& page);

private:
    bool FromAllowedOrigin();
    void LearnRedirect(const QUrl& start, const QUrl& end);

    PageView* m_view;
    PageBridge* m_bridge;
    OriginSource m_origins;
    QUrl m_loadStart;  // where the load under way began, before any redirect
    QSet<QString> m_redirectOrigins;
    QSet<QString> m_toldOrigins;
    QUrl m_lastRefused;
    QUrl m_requested;  // the last Navigate's address, until the page moves elsewhere
};

}  // namespace zn::gui
