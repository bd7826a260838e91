#include "gui/PageScript.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include "gui/PageValues.h"

namespace zn::gui {

namespace {

QString ReadResource(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

}  // namespace

namespace {

QString JsonList(const QStringList& list) {
    return QString::fromUtf8(
        QJsonDocument(QJsonArray::fromStringList(list)).toJson(QJsonDocument::Compact));
}

}  // namespace

QString ClickForwarderScript(const QStringList& boundIds, const QStringList& bodyIds) {
    QString forwarder = ReadResource(QStringLiteral(":/zn/gui/ClickForwarder.js"));
    forwarder.replace(QStringLiteral("@MAX_ID_LENGTH@"), QString::number(PageValues::kMaxIdBytes))
        .replace(QStringLiteral("@MAX_VALUE_LENGTH@"), QString::number(PageValues::kMaxValueBytes))
        .replace(QStringLiteral("@MAX_IDS@"), QString::number(PageValues::kMaxIds))
        .replace(QStringLiteral("@MAX_TOTAL_LENGTH@"), QString::number(PageValues::kMaxTotalBytes))
        .replace(QStringLiteral("@MAX_BODY_LENGTH@"), QString::number(PageValues::kMaxBodyChars))
        .replace(QStringLiteral("@BOUND_IDS@"), JsonList(boundIds))
        .replace(QStringLiteral("@BODY_IDS@"), JsonList(bodyIds));
    // A function scope keeps QWebChannel out of the page's globals.
    return QStringLiteral("(function () {\n") +
           ReadResource(QStringLiteral(":/qtwebchannel/qwebchannel.js")) + QStringLiteral("\n") +
           forwarder + QStringLiteral("\n})();\n");
}

}  // namespace zn::gui
