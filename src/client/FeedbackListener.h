#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>

#include "client/ClientUi.h"
#include "client/CurrentConsole.h"
#include "net/TcpSocket.h"

namespace zn::client {

struct FeedbackLimits {
    // From a frame's first length byte to its last body byte. A 16 MiB page crosses a LAN in
    // well under a second; a peer that trickles bytes is cut off here.
    std::chrono::milliseconds frameLimit{20000};
};

// Receives the pages the console pushes to the seat: one thread accepts on the feedback port,
// one receiver thread per console connection stores each page and shows it when it reports
// success, or when the seat is showing the stored page already. Only the current console is
// admitted; any other peer is closed unread.
class FeedbackListener {
public:
    // Connections served at once from one peer, and from all. When a cap is reached, the oldest
    // idle connection (one between frames) is closed to make room; when none is idle, the new
    // one is closed at once.
    static constexpr std::size_t kMaxReceiversPerPeer = 8;
    static constexpr std::size_t kMaxReceivers = 32;

    // Pages are stored in `folder` (the program folder).
    FeedbackListener(IFeedbackUi& ui, const CurrentConsole& console, std::filesystem::path folder,
                     FeedbackLimits limits = {});
    ~FeedbackListener();
    FeedbackListener(const FeedbackListener&) = delete;
    FeedbackListener& operator=(const FeedbackListener&) = delete;

    // Binds the feedback socket (port 0: any). False when the port cannot be had.
    bool Create(std::uint16_t port);
    // Listens before it returns, so a page the console sends at once is not refused, then
    // accepts on a thread of its own. A socket that cannot listen is told to the customer; the
    // seat still orders. False when the thread could not start.
    bool Start();
    // Closes the feedback socket and every console connection and waits for their threads.
    void Stop();

    std::uint16_t Port() const;

private:
    struct Receiver {
        std::unique_ptr<CTcpSocket> connection;
        CSocketAddress peer;
        std::thread thread;
        std::atomic<bool> idle{true};
        std::atomic<bool> done{false};
        bool evicted = false;  // under m_mutex
    };

    void AcceptLoop();
    bool IsConsole(const CSocketAddress& peer, const sockaddr_in& local);
    void StartReceiver(std::unique_ptr<CTcpSocket> connection, const CSocketAddress& peer);
    // Under m_mutex: false when the caps leave no room, even after closing an idle connection.
    bool MakeRoom(const CSocketAddress& peer);
    void Receive(Receiver& receiver);
    void HandlePage(std::span<const std::byte> page);

    IFeedbackUi& m_ui;
    const CurrentConsole& m_console;
    std::filesystem::path m_folder;
    FeedbackLimits m_limits;
    std::optional<std::uint32_t> m_lastRefused;  // accept thread only
    CTcpSocket m_socket;
    std::thread m_listener;
    std::atomic<bool> m_stopping{false};
    std::mutex m_mutex;
    std::list<std::unique_ptr<Receiver>> m_receivers;
};

}  // namespace zn::client
