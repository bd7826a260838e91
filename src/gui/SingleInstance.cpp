#include "gui/SingleInstance.h"

#include "platform/WindowDirectory.h"

namespace zn::gui {

bool FindWindowByCaption(const QString& caption) {
    const WindowDirectory directory(WindowDirectory::DefaultFolder());
    return directory.Find({}, caption.toStdString()).has_value();
}

}  // namespace zn::gui
