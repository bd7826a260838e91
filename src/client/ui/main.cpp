// ZentrovaNubraClient: the seat client.
#include <QApplication>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <vector>

#include "ZentrovaNubraClientDlg.h"
#include "client/ClientStartup.h"
#include "client/ClientWindowController.h"
#include "gui/WebEngineSetup.h"
#include "net/Sockets.h"
#include "platform/Log.h"
#include "platform/ProgramFolder.h"
#include "platform/Registry.h"
#include "platform/WindowDirectory.h"

namespace {

// A connection attempt that is still under way when the window has ended may wait on the
// network for a while longer; the program does not wait for it beyond this.
constexpr std::chrono::milliseconds kLinkWindDown{2000};

}  // namespace

int main(int argc, char** argv) {
    using namespace zn;
    using namespace zn::client;

    log::StartProgramLog("ZentrovaNubraClient");
    if (ShowRunningClient(WindowDirectory(WindowDirectory::DefaultFolder()))) {
        return 0;
    }
    const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);

    InitSockets();
    gui::PrepareWebEngine();
    QApplication app(argc, argv);
    // The window ends only through its close path; progress windows closing must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    const Registry registry(Registry::DefaultFolder());
    CZentrovaNubraClientDlg window;
    ClientLinkUi linkUi(window);
    ClientWindowController controller(
        ClientEnvironment{registry,
                          ClientSettings(registry, std::filesystem::current_path()),
                          ProgramFolder(),
                          ParseLaunchParameter(arguments),
                          {},
                          {}},
        window, linkUi);

    controller.TrustShopDomain();
    window.InitDialog(controller);
    if (!controller.Start()) {
        return 0;
    }
    const int code = QApplication::exec();
    if (!controller.Shutdown(kLinkWindDown)) {
        std::_Exit(code);
    }
    return code;
}
