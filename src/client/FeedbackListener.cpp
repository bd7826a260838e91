#include "client/FeedbackListener.h"

#include <netinet/in.h>

#include <cerrno>
#include <chrono>
#include <system_error>
#include <utility>
#include <vector>

#include "client/ClientTexts.h"
#include "client/FeedbackPage.h"
#include "net/Frame.h"
#include "net/Sockets.h"
#include "platform/Log.h"

namespace zn::client {
namespace {

// A failing accept (out of descriptors) fails again at once; pause instead of spinning.
constexpr std::chrono::milliseconds kAcceptRetryPause{100};

}  // namespace

FeedbackListener::FeedbackListener(IFeedbackUi& ui, const CurrentConsole& console,
                                   std::filesystem::path folder)
    : m_ui(ui), m_console(console), m_folder(std::move(folder)) {}

FeedbackListener::~FeedbackListener() {
    Stop();
}

bool FeedbackListener::Create(std::uint16_t port) {
    return m_socket.Create(port);
}

bool FeedbackListener::Start() {
    try {
        m_listener = std::thread([this] { AcceptLoop(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void FeedbackListener::Stop() {
    m_stopping = true;
    m_socket.Close();
    if (m_listener.joinable()) {
        m_listener.join();
    }
    std::list<std::unique_ptr<Receiver>> receivers;
    {
        const std::lock_guard lock(m_mutex);
        receivers.swap(m_receivers);
    }
    for (const auto& receiver : receivers) {
        receiver->connection->Close();
    }
    for (const auto& receiver : receivers) {
        receiver->thread.join();
    }
}

std::uint16_t FeedbackListener::Port() const {
    return ntohs(m_socket.Local().sin_port);
}

void FeedbackListener::AcceptLoop() {
    if (!m_socket.Listen()) {
        m_ui.PostMessage(ClientTexts::kCannotListen, ClientTexts::kClientCaption,
                         MessageIcon::Error);
        return;
    }
    while (m_socket.IsValid()) {
        CSocketAddress peer;
        auto connection = m_socket.Accept(&peer);
        if (connection && IsConsole(peer)) {
            StartReceiver(std::move(connection));
        } else if (!connection && m_socket.IsValid()) {
            std::this_thread::sleep_for(kAcceptRetryPause);
        }
    }
}

bool FeedbackListener::IsConsole(const CSocketAddress& peer) {
    const std::uint32_t address = ntohl(peer.address.sin_addr.s_addr);
    const auto console = m_console.Get();
    if (console == address) {
        return true;
    }
    // A host that keeps trying is logged once, until another one is refused.
    if (m_lastRefused != address) {
        m_lastRefused = address;
        log::Warn("feedback connection from {} refused: the console is {}", peer.Dotted(),
                  console ? CSocketAddress::FromHostOrder(*console, 0).Dotted() : "not known yet");
    }
    return false;
}

void FeedbackListener::StartReceiver(std::unique_ptr<CTcpSocket> connection) {
    const std::lock_guard lock(m_mutex);
    m_receivers.remove_if([](const std::unique_ptr<Receiver>& receiver) {
        if (!receiver->done) {
            return false;
        }
        receiver->thread.join();
        return true;
    });
    if (m_receivers.size() >= kMaxReceivers) {
        return;
    }
    auto receiver = std::make_unique<Receiver>();
    receiver->connection = std::move(connection);
    Receiver* running = receiver.get();
    try {
        receiver->thread = std::thread([this, running] {
            Receive(*running->connection);
            running->connection->Close();
            running->done = true;
        });
    } catch (const std::system_error&) {
        return;
    }
    m_receivers.push_back(std::move(receiver));
}

void FeedbackListener::Receive(CTcpSocket& connection) {
    for (;;) {
        unsigned char header[4] = {};
        if (connection.ReceiveAll(header, 0, sizeof header) != sizeof header) {
            return;
        }
        const std::uint32_t length = std::uint32_t{header[0]} | (std::uint32_t{header[1]} << 8) |
                                     (std::uint32_t{header[2]} << 16) |
                                     (std::uint32_t{header[3]} << 24);
        if (length == 0) {
            continue;
        }
        if (length > kPageFrameCap) {
            // The stream cannot be followed past a body we refuse to read: end the connection.
            m_ui.PostMessage(ClientTexts::PageNotReceived(EMSGSIZE), ClientTexts::kClientCaption,
                             MessageIcon::Error);
            return;
        }
        std::vector<std::byte> page(length);
        const int wanted = static_cast<int>(length);
        if (connection.ReceiveAll(page.data(), 0, wanted) != wanted) {
            if (m_stopping) {
                return;
            }
            m_ui.PostMessage(ClientTexts::PageNotReceived(LastSocketError()),
                             ClientTexts::kClientCaption, MessageIcon::Error);
            continue;
        }
        HandlePage(page);
    }
}

void FeedbackListener::HandlePage(std::span<const std::byte> page) {
    const auto file = m_folder / kFeedbackPageName;
    if (StoreFeedbackPage(file, page) && ReportsSuccess(page)) {
        m_ui.PostNavigate(FileUrl(file));
    }
    m_ui.PostRaise();
}

}  // namespace zn::client
