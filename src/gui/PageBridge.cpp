#include "gui/PageBridge.h"

#include <QJsonObject>

#include <utility>

namespace zn::gui {

PageBridge::PageBridge(ClickSink sink, QObject* parent)
    : QObject(parent), m_sink(std::move(sink)) {}

void PageBridge::SetBoundIds(QStringList ids) {
    if (ids == m_boundIds) {
        return;
    }
    m_boundIds = std::move(ids);
    emit boundIdsChanged();
}

void PageBridge::click(const QJsonValue& id, const QJsonValue& values) {
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
    m_sink(id.toString().toStdString(), std::move(kept));
}

}  // namespace zn::gui
