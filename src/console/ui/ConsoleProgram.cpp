#include "ConsoleProgram.h"

#include <sys/resource.h>

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "NotifierSkin.h"
#include "TaskbarNotifierWidget.h"
#include "UpdateDlg.h"
#include "ZentrovaNubraConsoleDlg.h"
#include "console/ConsoleUi.h"
#include "console/ConsoleWindowController.h"
#include "console/ProgramStarter.h"
#include "console/SelfUpdate.h"
#include "console/SingleInstance.h"
#include "gui/MessageBox.h"
#include "gui/ProgressController.h"
#include "gui/QtText.h"
#include "gui/SingleInstance.h"
#include "gui/WebEngineSetup.h"
#include "net/Sockets.h"
#include "platform/Log.h"
#include "platform/ProgramFolder.h"
#include "platform/Registry.h"
#include "platform/SoundPlayer.h"
#include "platform/WindowDirectory.h"
#include "update/SystemdServices.h"
#include "update/UpdateLog.h"

namespace zn::console {

namespace {

// How long an exit waits for the request workers to end.
constexpr std::chrono::milliseconds kWorkersWindDown{300};

using gui::Q;

// Every seat keeps a connection open, so the console needs as many descriptors as it may get.
void RaiseOpenFileLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

// The connecting-progress windows of the sender threads.
class ConsoleProgress final : public IProgressUi {
public:
    Ticket Open(const std::string& text) override { return m_windows.Open(Q(text)); }
    void Close(Ticket ticket) override { m_windows.Close(ticket); }

private:
    gui::ProgressController m_windows;
};

std::optional<RunningConsoleNotice> FindOtherConsole() {
    return FindRunningConsole(
        [](std::string_view caption) { return gui::FindWindowByCaption(Q(caption)); });
}

}  // namespace

int RunConsoleProgram(int argc, char** argv, const ConsoleProgramHooks& hooks) {
    log::StartProgramLog("ZentrovaNubraConsole");
    RaiseOpenFileLimit();
    if (const auto notice = FindOtherConsole()) {
        // Another program's window cannot own a box here; it shows on its own.
        const QApplication app(argc, argv);
        gui::MessageBox(nullptr, Q(notice->text), Q(notice->caption), gui::DialogIcon::Information);
        return 0;
    }

    InitSockets();
    gui::PrepareWebEngine();
    QApplication app(argc, argv);
    // Only a confirmed exit ends the program; hidden windows and closed dialogs do not.
    QApplication::setQuitOnLastWindowClosed(false);

    const Registry registry(Registry::DefaultFolder());
    const WindowDirectory listeners(WindowDirectory::DefaultFolder());
    AlsaSoundPlayer sound;
    ProgramStarter programs;
    TaskbarNotifierWidget popup(DrawNotifierSkin());
    CZentrovaNubraConsoleDlg window;
    ConsoleProgress progress;
    SystemdServices services;
    CUpdateDlg prompt;
    SelfUpdate selfUpdate(SelfUpdateContext{registry, ProgramFolder(), services, UpdateLogFile(),
                                            window, window, prompt});
    QObject::connect(&prompt, &QDialog::accepted, [&selfUpdate] { selfUpdate.OnPromptAccepted(); });
    ConsoleWindowController controller(ConsoleEnvironment{registry,
                                                          listeners,
                                                          sound,
                                                          programs,
                                                          ProgramFolder(),
                                                          std::nullopt,
                                                          hooks.loginPageRetryPeriod,
                                                          hooks.updatePeriod,
                                                          {},
                                                          {},
                                                          hooks.reminderUnit},
                                       window, popup, progress, &selfUpdate);
    popup.Bind(controller.Notifier());
    controller.Notifier().SetAnnouncementObserver(
        [](const std::string& text) { gui::LogPopup(Q(text)); });

    window.InitDialog(controller);
    window.show();
    controller.Start(popup.SkinSize());
    if (hooks.started) {
        hooks.started(window);
    }
    const int code = QApplication::exec();
    window.EndDialog();
    // A worker may wait on a Listener window that never answers, a result be on its way to a
    // seat on the network for minutes, and an update download or script run; they end with the
    // process instead of holding the exit up.
    if (!controller.Shutdown(std::chrono::steady_clock::now() + kWorkersWindDown) ||
        controller.Completion().RunningSenders() > 0 || selfUpdate.IsRunning()) {
        log::Info("exit with workers still running");
        spdlog::default_logger()->flush();
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}

}  // namespace zn::console
