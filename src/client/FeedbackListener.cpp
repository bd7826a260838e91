#include "client/FeedbackListener.h"

#include <netinet/in.h>

#include <cerrno>
#include <chrono>
#include <system_error>
#include <utility>
#include <vector>

#include "client/BoundedSocketIo.h"
#include "client/ClientTexts.h"
#include "client/FeedbackPage.h"
#include "client/PageFrame.h"
#include "net/Frame.h"
#include "net/Sockets.h"
#include "platform/Log.h"

namespace zn::client {
namespace {

// A failing accept (out of descriptors) fails again at once; pause instead of spinning.
constexpr std::chrono::milliseconds kAcceptRetryPause{100};

}  // namespace

FeedbackListener::FeedbackListener(IFeedbackUi& ui, const CurrentConsole& console,
                                   std::filesystem::path folder, FeedbackLimits limits)
    : m_ui(ui), m_console(console), m_folder(std::move(folder)), m_limits(limits) {}

FeedbackListener::~FeedbackListener() {
    Stop();
}

bool FeedbackListener::Create(std::uint16_t port) {
    return m_socket.Create(port);
}

bool FeedbackListener::Start() {
    if (!m_socket.Listen()) {
        m_ui.PostMessage(ClientTexts::kCannotListen, ClientTexts::kClientCaption,
                         MessageIcon::Error);
        return true;
    }
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
    while (m_socket.IsValid()) {
        CSocketAddress peer;
        auto connection = m_socket.Accept(&peer);
        if (connection && IsConsole(peer, connection->Local())) {
            StartReceiver(std::move(connection), peer);
        } else if (connection) {
            // A reset, so that a sender can tell its page was not taken.
            connection->Abort();
        } else if (m_socket.IsValid()) {
            std::this_thread::sleep_for(kAcceptRetryPause);
        }
    }
}

bool FeedbackListener::IsConsole(const CSocketAddress& peer, const sockaddr_in& local) {
    const std::uint32_t address = ntohl(peer.address.sin_addr.s_addr);
    const auto console = m_console.Get();
    if (console == address) {
        return true;
    }
    // A console on this machine, reached over loopback, sends from whichever of the machine's
    // own addresses leads to the seat: a connection from an address to that same address.
    const bool consoleHere = console && (*console >> 24) == 127;
    if (consoleHere && peer.address.sin_addr.s_addr == local.sin_addr.s_addr) {
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

void FeedbackListener::StartReceiver(std::unique_ptr<CTcpSocket> connection,
                                     const CSocketAddress& peer) {
    const std::lock_guard lock(m_mutex);
    m_receivers.remove_if([](const std::unique_ptr<Receiver>& receiver) {
        if (!receiver->done) {
            return false;
        }
        receiver->thread.join();
        return true;
    });
    if (!MakeRoom(peer)) {
        log::Warn("feedback connection from {} refused: every connection is receiving a page",
                  peer.Dotted());
        connection->Abort();
        return;
    }
    // Reaps the connections of a console that vanished between frames.
    KeepConnectionAlive(*connection);
    auto receiver = std::make_unique<Receiver>();
    receiver->connection = std::move(connection);
    receiver->peer = peer;
    Receiver* running = receiver.get();
    try {
        receiver->thread = std::thread([this, running] {
            Receive(*running);
            running->connection->Close();
            running->done = true;
        });
    } catch (const std::system_error& failure) {
        log::Error("feedback connection from {} dropped: no thread ({})", peer.Dotted(),
                   failure.what());
        return;
    }
    m_receivers.push_back(std::move(receiver));
}

bool FeedbackListener::MakeRoom(const CSocketAddress& peer) {
    const auto samePeer = [&](const std::unique_ptr<Receiver>& receiver) {
        return receiver->peer.address.sin_addr.s_addr == peer.address.sin_addr.s_addr;
    };
    std::size_t all = 0;
    std::size_t fromPeer = 0;
    for (const auto& receiver : m_receivers) {
        if (!receiver->evicted) {
            ++all;
            fromPeer += samePeer(receiver) ? 1 : 0;
        }
    }
    const bool peerFull = fromPeer >= kMaxReceiversPerPeer;
    if (!peerFull && all < kMaxReceivers) {
        return true;
    }
    // The list is in the order of arrival: the first idle one is the oldest.
    for (const auto& receiver : m_receivers) {
        if (!receiver->evicted && receiver->idle && (!peerFull || samePeer(receiver))) {
            log::Info("feedback connection from {} closed to make room for a new one",
                      receiver->peer.Dotted());
            receiver->evicted = true;
            receiver->connection->Close();
            return true;
        }
    }
    return false;
}

void FeedbackListener::Receive(Receiver& receiver) {
    CTcpSocket& connection = *receiver.connection;
    for (;;) {
        std::byte first{};
        // Between frames the console may stay silent for as long as it likes.
        if (connection.ReceiveSome(&first, 1, std::chrono::milliseconds(-1)) != 1) {
            return;
        }
        receiver.idle = false;
        const auto frame = ReceiveRestOfPageFrame(
            connection, first, std::chrono::steady_clock::now() + m_limits.frameLimit);
        receiver.idle = true;
        if (m_stopping) {
            return;
        }
        if (frame.status == PageFrame::Status::Page) {
            // An empty frame carries no page.
            if (!frame.body.empty()) {
                HandlePage(frame.body);
            }
            continue;
        }
        // A short length read ends the connection, as one that ends before any byte: the
        // console has closed it, and no page was under way.
        if (frame.status == PageFrame::Status::CutInLength) {
            log::Info("feedback connection from {} ended within a page's length (error {})",
                      receiver.peer.Dotted(), frame.error);
            return;
        }
        log::Warn("page from {} not received: {}", receiver.peer.Dotted(),
                  frame.status == PageFrame::Status::TooLong ? "over the page cap"
                  : frame.status == PageFrame::Status::Late  ? "not whole by its deadline"
                                                             : "the connection ended within it");
        m_ui.PostMessage(ClientTexts::PageNotReceived(frame.error), ClientTexts::kClientCaption,
                         MessageIcon::Error);
        // Past a body that was refused or cut off, the stream cannot be followed; the reset
        // tells the sender that its page was not taken.
        if (frame.status != PageFrame::Status::Short) {
            connection.Abort();
            return;
        }
    }
}

void FeedbackListener::HandlePage(std::span<const std::byte> page) {
    const auto file = m_folder / kFeedbackPageName;
    if (StoreFeedbackPage(file, page)) {
        // A page without "成功" (the notice after an order, a rejection) does not interrupt the
        // shop; but where the seat shows the stored page, an older result must not stay on
        // screen under the window that is raised for the new one.
        if (ReportsSuccess(page)) {
            m_ui.PostNavigate(FileUrl(file));
        } else {
            m_ui.PostReloadIfShown(FileUrl(file));
        }
    }
    m_ui.PostRaise();
}

}  // namespace zn::client
