#include "ConfigMessage.h"

#include "gui/MessageBox.h"

namespace zn::config {

QString ProgramTitle() {
    return QStringLiteral("ZentrovaNubraConfig");
}

void ShowMessage(QWidget* parent, const QString& text) {
    gui::MessageBox(parent, text, ProgramTitle());
}

}  // namespace zn::config
