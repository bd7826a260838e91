#pragma once

#include <QJsonValue>
#include <QObject>
#include <QStringList>

#include <functional>
#include <string>

#include "gui/PageValues.h"

namespace zn::gui {

// The object that the page's click forwarder reaches through the web channel. Everything it
// receives is untrusted (any script of the page can call it): only bound ids pass, and the values
// are bounded before they are kept.
class PageBridge : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList boundIds READ BoundIds NOTIFY boundIdsChanged)
    Q_PROPERTY(QStringList bodyIds READ BodyIds NOTIFY boundIdsChanged)

public:
    using ClickSink = std::function<void(std::string id, PageValues values)>;

    PageBridge(ClickSink sink, QObject* parent);

    // `bodyIds`: the bound ids whose clicks carry the body's markup.
    void SetBoundIds(QStringList ids, QStringList bodyIds = {});
    const QStringList& BoundIds() const { return m_boundIds; }
    const QStringList& BodyIds() const { return m_bodyIds; }

    // Called by the page: the id of the clicked bound element, an object of values by id and the
    // body's markup (kept only for the body ids).
    Q_INVOKABLE void click(const QJsonValue& id, const QJsonValue& values, const QJsonValue& body);

signals:
    void boundIdsChanged();

private:
    ClickSink m_sink;
    QStringList m_boundIds;
    QStringList m_bodyIds;
};

}  // namespace zn::gui
