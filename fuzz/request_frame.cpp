// The console's side of a request connection: the seat's bytes as they arrive on the wire, read
// as a frame and reacted to, with every effect on the console's screen and sound faked.

#include <arpa/inet.h>

#include <cstdint>
#include <fstream>

#include "FuzzSupport.h"
#include "console/ConsoleSettings.h"
#include "console/ListenerNotification.h"
#include "console/LoginState.h"
#include "console/NavigationHandOver.h"
#include "console/RequestUi.h"
#include "console/RequestWorker.h"
#include "console/SeatList.h"
#include "net/Frame.h"
#include "platform/Registry.h"
#include "platform/SoundPlayer.h"
#include "platform/WindowDirectory.h"

namespace {

using namespace zn;
using namespace zn::console;

class QuietUi final : public IRequestUi {
public:
    void ShowText(const std::string&, int, int, int, int) override {}
    void ShowMaximizedAndRaise() override {}
    void KeepCustomerMessage(const std::string&, const std::string&, const std::string&) override {}
    void KeepOrder(const std::string&, const std::string&, const std::string&) override {}
};

// The alert as the console's request service gives it, on the fuzzing thread.
class InlineAlerts final : public IRequestAlerts {
public:
    InlineAlerts(const Registry& registry, const WindowDirectory& windows)
        : m_registry(registry), m_windows(windows) {}
    void RingBell() override {}
    void TellListeners(std::string request) override {
        NotifyListeners(m_registry, m_windows, request, 1);
    }

private:
    const Registry& m_registry;
    const WindowDirectory& m_windows;
};

class SilentPlayer final : public ISoundPlayer {
public:
    void PlayFileSync(const std::filesystem::path&) override {}
};

struct Console {
    Console() {
        const auto& folder = fuzz::ScratchFolder();
        std::ofstream(folder / kSeatListFileName)
            << "<SeatList><Seat IP=\"127.0.0.1\">7</Seat></SeatList>";
        std::ofstream(folder / kNoticePageFileName) << "<html>ok</html>";
        // Pages go to a port that refuses at once: bound, never listening.
        closedPort.Create(0);
        registry.CreateKey(RegistryRoot::LocalMachine, kConsoleKeyPath)
            ->SetDword("RemotePort", ntohs(closedPort.Local().sin_port));
        login.RecordLogin("10001");
        listener.Create(0);
        listener.Listen();
    }

    Registry registry{fuzz::ScratchFolder() / "registry"};
    WindowDirectory windows{fuzz::ScratchFolder() / "windows"};
    LoginState login;
    NavigationHandOver navigation{[this] {
        while (!navigation.TakePending().empty()) {
        }
    }};
    QuietUi ui;
    SilentPlayer sound;
    CTcpSocket closedPort;
    CTcpSocket listener;
    RequestContext context{registry, windows, login, navigation, ui, sound, fuzz::ScratchFolder()};
    InlineAlerts alerts{registry, windows};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Console console;
    auto delivered = fuzz::DeliverOverLoopback(console.listener, {data, size});
    ServeRequestConnection(console.context, *delivered.farEnd, delivered.farPeer, kRequestFrameCap,
                           console.alerts);
    return 0;
}
