// ZentrovaNubraConfig: the cafe administrator's configuration wizard.
#include <QApplication>

#include "ConfigIcon.h"
#include "WizardShell.h"
#include "net/Sockets.h"
#include "platform/Log.h"

int main(int argc, char** argv) {
    zn::log::StartProgramLog("ZentrovaNubraConfig");
    zn::InitSockets();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    // The pages come one after another; the last one closing must not end the chain early.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(zn::config::DrawConfigIcon());
    zn::config::WizardShell().Run();
    return 0;
}
