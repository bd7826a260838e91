#include "client/RequestLink.h"

#include <utility>

#include "client/BoundedSocketIo.h"
#include "client/ClientSettings.h"
#include "client/ClientTexts.h"
#include "client/OrderRequest.h"
#include "client/ShopAddress.h"
#include "net/Frame.h"
#include "platform/NetworkInfo.h"
#include "platform/TextCodec.h"

namespace zn::client {
namespace {

// The progress window is open for the life of this object.
class ProgressScope {
public:
    ProgressScope(ILinkUi& ui, std::string_view text) : m_window(ui.OpenProgress(text)) {}
    ~ProgressScope() {
        if (m_window) {
            m_window->Close();
        }
    }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

private:
    std::unique_ptr<IProgressWindow> m_window;
};

bool GivesUp(const ConnectionErrorAnswer& answer) {
    return !answer.ok || (answer.choice != 1 && answer.choice != 2);
}

}  // namespace

RequestLink::RequestLink(ILinkUi& ui, const ClientSettings& settings, CurrentConsole& console,
                         std::string launchParameter, RequestLinkOptions options)
    : m_ui(ui),
      m_settings(settings),
      m_console(console),
      m_launchParameter(std::move(launchParameter)),
      m_options(std::move(options)),
      m_finder(settings, m_options.finder) {
    if (!m_options.ownAddress) {
        m_options.ownAddress = NetworkInfo::OwnIpv4Address;
    }
}

bool RequestLink::ConnectAndOpen() {
    for (;;) {
        const auto failure = TryOpen();
        if (!failure) {
            return true;
        }
        m_ui.ShowMessage(*failure, ClientTexts::kConnectionErrorCaption, MessageIcon::Error);
        const auto answer = m_ui.AskConnectionError(m_settings.ServerAddress());
        if (GivesUp(answer)) {
            m_ui.RequestClose();
            return false;
        }
        if (answer.choice == 2) {
            m_settings.WriteServerAddress(answer.address);
        }
    }
}

std::optional<std::string_view> RequestLink::TryOpen() {
    const ProgressScope progress(m_ui, ClientTexts::kConnecting);
    const auto console = m_finder.Find();
    if (!console) {
        return ClientTexts::kNoConsole;
    }
    if (!ConnectTo(console) && !ConnectTo(m_finder.Discover())) {
        return ClientTexts::kNoConsole;
    }
    const auto greeting = ReadGreeting();
    if (!greeting) {
        return ClientTexts::kGreetingFailed;
    }
    std::string ip(kCounterIp);
    if (m_settings.CounterMode() < 1) {
        const auto own = m_options.ownAddress();
        if (!own || !IsUsableOwnAddress(*own)) {
            return ClientTexts::kNoOwnAddress;
        }
        ip = *own;
    }
    m_ui.Navigate(BuildShopAddress(m_settings.MainPage(), *greeting, ip, m_launchParameter));
    return std::nullopt;
}

bool RequestLink::ConnectTo(std::optional<std::uint32_t> console) {
    m_requestSent = false;
    // Create closes the previous connection, which ends the console's worker for it.
    if (!m_request.Create(0) || !console) {
        m_request.Close();
        return false;
    }
    const auto remote = CSocketAddress::FromHostOrder(*console, m_settings.RemotePort());
    if (!ConnectWithin(m_request, remote, m_options.greetingLimit)) {
        m_request.Close();
        return false;
    }
    // Reaps a request connection whose console vanished without a close.
    KeepConnectionAlive(m_request);
    m_console.Set(*console);
    return true;
}

std::optional<std::string> RequestLink::ReadGreeting() {
    const auto body = ReceiveFrameBefore(
        m_request, kRequestFrameCap, std::chrono::steady_clock::now() + m_options.greetingLimit);
    if (!body) {
        return std::nullopt;
    }
    return TextCodec::GbkToUtf8(TextUpToNul(*body));
}

void RequestLink::Reconnect() {
    const ProgressScope progress(m_ui, ClientTexts::kReconnecting);
    if (ConnectTo(m_finder.FindWithoutDiscovery())) {
        ReadGreeting();
    }
}

bool RequestLink::SendWithRetry(std::span<const std::byte> body) {
    for (int failures = 0;; ++failures) {
        // A console that has closed this connection, or that is still reacting to the request
        // it already carried, may take the frame without an error and lose it; such a
        // connection counts as a failed send before anything is sent.
        const bool open = m_request.IsValid() && !m_requestSent && !m_request.PeerHasClosed();
        if (open && SendFrame(m_request, body)) {
            m_requestSent = true;
            return true;
        }
        if (failures > 0) {
            m_ui.ShowMessage(ClientTexts::kSendFailed, ClientTexts::kConnectionErrorCaption,
                             MessageIcon::Error);
            const auto answer = m_ui.AskConnectionError(m_settings.ServerAddress());
            if (GivesUp(answer)) {
                return false;
            }
            if (answer.choice == 2) {
                m_settings.WriteServerAddress(answer.address);
            }
        }
        Reconnect();
    }
}

void RequestLink::SendOrder(std::string_view serial, std::string_view platformId) {
    const int counterMode = m_settings.CounterMode();
    if (SendWithRetry(BuildOrderBody(serial, platformId, counterMode)) && counterMode >= 1) {
        m_ui.ExitProcess(0);
    }
}

void RequestLink::SendMessage(std::string_view text) {
    if (SendWithRetry(BuildMessageBody(text))) {
        m_ui.ShowMessage(ClientTexts::kMessageSent, text, MessageIcon::Information);
    }
}

}  // namespace zn::client
