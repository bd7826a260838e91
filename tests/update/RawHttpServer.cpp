#include "RawHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace zn::test {

namespace {

constexpr int kPollMs = 20;
constexpr std::size_t kMaxHeadBytes = 16 * 1024;
constexpr auto kReadLimit = std::chrono::seconds(5);

std::string ReadHead(int fd) {
    std::string head;
    const auto deadline = std::chrono::steady_clock::now() + kReadLimit;
    char buffer[1024];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxHeadBytes &&
           std::chrono::steady_clock::now() < deadline) {
        pollfd readable{fd, POLLIN, 0};
        if (poll(&readable, 1, kPollMs) <= 0) {
            continue;
        }
        const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) {
            break;
        }
        head.append(buffer, static_cast<std::size_t>(got));
    }
    return head;
}

}  // namespace

std::string HttpAnswer(std::string_view status, std::string_view headers, std::string_view body) {
    return "HTTP/1.1 " + std::string(status) + "\r\n" + std::string(headers) + "\r\n" +
           std::string(body);
}

RawHttpServer::RawHttpServer(std::string answer, std::chrono::milliseconds byteInterval)
    : m_answer(std::move(answer)), m_byteInterval(byteInterval) {
    m_listener.Reset(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    auto* generic = reinterpret_cast<sockaddr*>(&address);
    if (bind(m_listener.Get(), generic, sizeof address) == 0 && listen(m_listener.Get(), 16) == 0 &&
        getsockname(m_listener.Get(), generic, &length) == 0) {
        m_port = ntohs(address.sin_port);
    }
    m_thread = std::thread([this] { Serve(); });
}

RawHttpServer::~RawHttpServer() {
    m_stop = true;
    m_thread.join();
}

std::string RawHttpServer::LastRequest() const {
    std::lock_guard lock(m_mutex);
    return m_lastRequest;
}

void RawHttpServer::Serve() {
    while (!m_stop) {
        pollfd readable{m_listener.Get(), POLLIN, 0};
        if (poll(&readable, 1, kPollMs) <= 0) {
            continue;
        }
        UniqueFd connection(accept4(m_listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (connection.IsValid()) {
            ++m_connections;
            Answer(std::move(connection));
        }
    }
}

void RawHttpServer::Answer(UniqueFd connection) {
    const std::string head = ReadHead(connection.Get());
    {
        std::lock_guard lock(m_mutex);
        m_lastRequest = head;
        if (m_answer.empty()) {
            m_silent.push_back(std::move(connection));
            return;
        }
    }
    const bool trickle = m_byteInterval.count() > 0;
    if (trickle) {
        const int on = 1;  // each byte its own segment, not held for the peer's acknowledgement
        setsockopt(connection.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    std::string_view rest = m_answer;
    while (!rest.empty() && !m_stop) {
        const ssize_t sent =
            send(connection.Get(), rest.data(), trickle ? 1 : rest.size(), MSG_NOSIGNAL);
        if (sent <= 0) {
            break;
        }
        rest.remove_prefix(static_cast<std::size_t>(sent));
        if (trickle) {
            std::this_thread::sleep_for(m_byteInterval);
        }
    }
    shutdown(connection.Get(), SHUT_WR);
}

}  // namespace zn::test
