#include "gui/WebEngineSetup.h"

#include <QCoreApplication>
#include <QLocale>

namespace zn::gui {

void PrepareWebEngine() {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The engine takes its language from the default locale when it starts, whatever the
    // session's locale is: the programs speak Chinese everywhere.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
}

}  // namespace zn::gui
