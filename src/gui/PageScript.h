#pragma once

#include <QString>
#include <QStringList>

namespace zn::gui {

// The script injected into every top document: the web channel client and the click forwarder,
// with the ids bound when the document was created (the current ones arrive through the channel)
// and those of them whose clicks carry the body's markup.
QString ClickForwarderScript(const QStringList& boundIds, const QStringList& bodyIds);

// The name under which the host's bridge is registered on the channel.
inline constexpr char kBridgeName[] = "pageHost";

}  // namespace zn::gui
