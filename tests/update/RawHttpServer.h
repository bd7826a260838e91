#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/UniqueFd.h"

namespace zn::test {

// A loopback server that answers every connection with fixed bytes, as a broken or hostile update
// server would: any status, any headers, a body of any length, at once or one byte per
// `byteInterval` (a trickle, until the client goes). With no bytes it accepts and never answers.
// It keeps count of connections and the last request's head.
class RawHttpServer {
public:
    explicit RawHttpServer(std::string answer,
                           std::chrono::milliseconds byteInterval = std::chrono::milliseconds(0));
    ~RawHttpServer();
    RawHttpServer(const RawHttpServer&) = delete;
    RawHttpServer& operator=(const RawHttpServer&) = delete;

    int Port() const { return m_port; }
    int Connections() const { return m_connections.load(); }
    std::string LastRequest() const;

private:
    void Serve();
    void Answer(UniqueFd connection);

    const std::string m_answer;
    const std::chrono::milliseconds m_byteInterval;
    UniqueFd m_listener;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    mutable std::mutex m_mutex;
    std::string m_lastRequest;
    std::vector<UniqueFd> m_silent;  // connections held open without an answer
    std::thread m_thread;
};

// "HTTP/1.1 <status>\r\n<headers>\r\n" followed by the body.
std::string HttpAnswer(std::string_view status, std::string_view headers, std::string_view body);

}  // namespace zn::test
