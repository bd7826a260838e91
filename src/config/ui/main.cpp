// ZentrovaNubraConfig: the cafe administrator's configuration wizard.
#include <QApplication>

#include "ConfigIcon.h"
#include "WizardShell.h"
#include "gui/WebEngineSetup.h"
#include "net/Sockets.h"
#include "platform/Log.h"

int main(int argc, char** argv) {
    zn::log::StartProgramLog("ZentrovaNubraConfig");
    zn::InitSockets();
    zn::gui::PrepareWebEngine();
    QApplication app(argc, argv);
    // The pages come one after another; the last one closing must not end the chain early.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(zn::config::DrawConfigIcon());
    zn::config::WizardShell().Run();
    return 0;
}
