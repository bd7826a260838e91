#include "gui/PageBridge.h"

#include <QJsonObject>

#include <utility>

namespace zn::gui {

PageBridge::PageBridge(ClickSink sink, QObject* parent)
    : QObject(parent), m_sink(std::move(sink)) {}

void PageBridge::SetBoundIds(QStringList ids, QStringList bodyIds) {
    if (ids == m_boundIds && bodyIds == m_bodyIds) {
        return;
    }
    m_boundIds = std::move(ids);
    m_bodyIds = std::move(bodyIds);
    emit boundIdsChanged();
}

void PageBridge::click(const QJsonValue& id, const QJsonValue& values, const QJsonValue& body) {
    if (!id.isString() || !m_boundIds.contains(id.toString())) {
        return;
    }
    PageValues kept;
    const QJsonObject object = values.toObject();
    std::size_t looked = 0;
    for (auto it = object.begin(); it != object.end() && looked < PageValues::kMaxIds; ++it) {
        ++looked;
        if (!it.value().isString() ||
            static_cast<std::size_t>(it.key().size()) > PageValues::kMaxIdBytes) {
            continue;
        }
        const QString value =
            it.value().toString().left(static_cast<qsizetype>(PageValues::kMaxValueBytes));
        kept.Add(it.key().toStdString(), value.toStdString());
    }
    if (m_bodyIds.contains(id.toString())) {
        // The script sends `false` for a body over the cap.
        if (body.isBool() || (body.isString() && static_cast<std::size_t>(body.toString().size()) >
                                                     PageValues::kMaxBodyChars)) {
            kept.MarkBodyTooLarge();
        } else if (body.isString()) {
            kept.SetBody(body.toString().toStdString());
        }
    }
    m_sink(id.toString().toStdString(), std::move(kept));
}

}  // namespace zn::gui
