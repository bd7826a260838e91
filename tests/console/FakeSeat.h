#pragma once

#include <poll.h>
#include <sys/socket.h>

#include <arpa/inet.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "net/Frame.h"
#include "net/SocketAddress.h"
#include "net/TcpSocket.h"

namespace zn::console::test {

using namespace std::chrono_literals;

inline std::vector<std::byte> Bytes(std::string_view text) {
    const auto bytes = std::as_bytes(std::span(text.data(), text.size()));
    return {bytes.begin(), bytes.end()};
}

// True when the other side closed the connection within the time (pending bytes are read and
// dropped); false when it stayed open.
inline bool ClosedByPeer(CTcpSocket& socket, std::chrono::milliseconds timeout = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd fd{socket.Handle(), POLLIN, 0};
        if (poll(&fd, 1, 10) == 1) {
            char byte;
            const ssize_t count = recv(socket.Handle(), &byte, 1, 0);
            if (count <= 0) {
                return true;
            }
        }
    }
    return false;
}

// A seat's request connection, made from a chosen loopback address.
class FakeSeat {
public:
    bool Connect(std::uint16_t port, const char* from = "127.0.0.1") {
        const auto local = CSocketAddress::FromDotted(from, 0);
        const auto console = CSocketAddress::FromDotted("127.0.0.1", port);
        return local && console && socket.Create(*local) && socket.Connect(&*console);
    }
    // The greeting's text without its NUL; nullopt when it did not arrive.
    std::optional<std::string> ReadGreeting() {
        const auto body = ReceiveFrame(socket, kRequestFrameCap);
        if (!body) {
            return std::nullopt;
        }
        return TextUpToNul(*body);
    }
    bool SendText(std::string_view text) { return SendTextFrame(socket, text); }
    bool SendBody(std::span<const std::byte> body) { return SendFrame(socket, body); }
    bool SendRaw(std::span<const std::byte> bytes) {
        return socket.SendAll(bytes.data(), 0, static_cast<int>(bytes.size())) ==
               static_cast<int>(bytes.size());
    }

    CTcpSocket socket;
};

// The seat's feedback port: accepts connections one after another and keeps every page frame.
class FeedbackPort {
public:
    FeedbackPort() {
        if (m_listener.Create(0) && m_listener.Listen()) {
            m_thread = std::thread([this] { Run(); });
        }
    }
    ~FeedbackPort() {
        m_listener.Close();
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

    std::uint16_t Port() const { return ntohs(m_listener.Local().sin_port); }
    std::vector<std::vector<std::byte>> Pages() const {
        std::lock_guard lock(m_mutex);
        return m_pages;
    }

private:
    void Run() {
        while (m_listener.IsValid()) {
            CSocketAddress peer;
            auto connection = m_listener.Accept(&peer);
            while (connection) {
                auto page = ReceiveFrame(*connection, kPageFrameCap);
                if (!page) {
                    break;
                }
                std::lock_guard lock(m_mutex);
                m_pages.push_back(std::move(*page));
            }
        }
    }

    CTcpSocket m_listener;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<std::vector<std::byte>> m_pages;
};

// A feedback port that takes each connection and, once the page has arrived, either closes it
// without reading (which resets it, as a seat that refuses the page does) or reads the page and
// keeps the connection open until it goes.
class SilentSeat {
public:
    enum class Mode { CloseUnread, ReadAndHold };

    explicit SilentSeat(Mode mode) : m_mode(mode) {
        if (m_listener.Create(0) && m_listener.Listen()) {
            m_thread = std::thread([this] { Run(); });
        }
    }
    ~SilentSeat() {
        m_listener.Close();
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

    std::uint16_t Port() const { return ntohs(m_listener.Local().sin_port); }

private:
    void Run() {
        std::vector<std::unique_ptr<CTcpSocket>> held;
        while (auto connection = m_listener.Accept(nullptr)) {
            pollfd arrived{connection->Handle(), POLLIN, 0};
            poll(&arrived, 1, 5000);
            if (m_mode == Mode::ReadAndHold) {
                ReceiveFrame(*connection, kPageFrameCap);
                held.push_back(std::move(connection));
            } else {
                connection->Abort();
            }
        }
    }

    Mode m_mode;
    CTcpSocket m_listener;
    std::thread m_thread;
};

}  // namespace zn::console::test
