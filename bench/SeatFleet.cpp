#include "SeatFleet.h"

#include <arpa/inet.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "BenchSupport.h"

namespace zn::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kIdlePoll{100};

enum : std::uint64_t { kRequestTag = 0, kListenerTag = 1, kPageTag = 2 };

std::uint64_t Tag(std::size_t index, std::uint64_t kind) {
    return (std::uint64_t{index} << 2) | kind;
}

void CloseSocket(int& socket) {
    if (socket >= 0) {
        close(socket);
        socket = -1;
    }
}

}  // namespace

SeatFleet::SeatFleet(FleetOptions options)
    : m_options(options), m_epoll(epoll_create1(EPOLL_CLOEXEC)), m_seats(options.seats) {}

SeatFleet::~SeatFleet() {
    for (Seat& seat : m_seats) {
        CloseSocket(seat.request);
        CloseSocket(seat.feedback);
        CloseSocket(seat.listener);
    }
    if (m_epoll >= 0) {
        close(m_epoll);
    }
}

bool SeatFleet::Open() {
    for (std::size_t i = 0; i < m_seats.size(); ++i) {
        Seat& seat = m_seats[i];
        const std::string dotted = SeatAddress(m_options.addressBlock, i);
        inet_pton(AF_INET, dotted.c_str(), &seat.address);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr = seat.address;
        local.sin_port = htons(m_options.feedbackPort);
        const int reuse = 1;
        seat.listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        epoll_event event{EPOLLIN, {.u64 = Tag(i, kListenerTag)}};
        if (seat.listener < 0 ||
            setsockopt(seat.listener, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) != 0 ||
            bind(seat.listener, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
            listen(seat.listener, 8) != 0 ||
            epoll_ctl(m_epoll, EPOLL_CTL_ADD, seat.listener, &event) != 0) {
            std::fprintf(stderr, "seat %s cannot listen on port %u: %s\n", dotted.c_str(),
                         m_options.feedbackPort, std::strerror(errno));
            return false;
        }
    }
    return m_epoll >= 0;
}

ConnectOutcome SeatFleet::ConnectAll(std::uint16_t serverPort, std::chrono::seconds limit) {
    ConnectOutcome outcome;
    m_connectOutcome = &outcome;
    m_serverPort = serverPort;
    m_ready.clear();
    for (std::size_t i = 0; i < m_seats.size(); ++i) {
        QueueConnect(i);
    }
    const auto start = Clock::now();
    StartWaitingConnects();
    while (Settled() < m_seats.size() && Clock::now() - start < limit) {
        Poll(std::chrono::milliseconds(100));
    }
    for (Seat& seat : m_seats) {
        if (seat.phase == Phase::Connecting || seat.phase == Phase::Greeting ||
            seat.phase == Phase::Waiting) {
            CloseRequest(seat, Phase::Failed);
        }
        outcome.greeted += seat.phase == Phase::Ready ? 1 : 0;
        outcome.refused += seat.phase == Phase::Refused ? 1 : 0;
        outcome.failed += seat.phase == Phase::Failed ? 1 : 0;
    }
    m_waiting.clear();
    m_connecting = 0;
    outcome.elapsedMs = Milliseconds(Clock::now() - start);
    m_connectOutcome = nullptr;
    return outcome;
}

OrderOutcome SeatFleet::PlaceOrders(const OrderPace& pace, std::chrono::milliseconds duration,
                                    std::size_t maxOrders, std::chrono::seconds drain) {
    OrderOutcome outcome;
    m_orderOutcome = &outcome;
    const bool paced = pace.inFlight == 0;
    const auto interval = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(pace.rate > 0 ? 1.0 / pace.rate : 1.0));
    const auto start = Clock::now();
    const auto end = start + duration;
    auto nextOrder = start;
    const auto due = [&] { return maxOrders == 0 || outcome.sent + outcome.skipped < maxOrders; };
    while (Clock::now() < end && due()) {
        const auto now = Clock::now();
        if (paced) {
            while (nextOrder <= now && due()) {
                ++(SendToNextReady() ? outcome.sent : outcome.skipped);
                nextOrder += interval;
            }
        } else {
            while (m_awaiting < pace.inFlight && due() && SendToNextReady()) {
                ++outcome.sent;
            }
        }
        // A closed loop sends again when a page arrives, which wakes the poll.
        const auto wait = paced ? nextOrder - Clock::now() : Clock::duration(kIdlePoll);
        Poll(std::chrono::ceil<std::chrono::milliseconds>(std::max(wait, Clock::duration::zero())));
    }
    // Orders that fell due while this thread waited for the CPU at the end still go.
    while (paced && nextOrder < end && due()) {
        ++(SendToNextReady() ? outcome.sent : outcome.skipped);
        nextOrder += interval;
    }
    outcome.elapsedMs = Milliseconds(Clock::now() - start);
    const auto drainEnd = Clock::now() + drain;
    while (m_awaiting > 0 && Clock::now() < drainEnd) {
        Poll(std::chrono::milliseconds(50));
    }
    for (Seat& seat : m_seats) {
        if (seat.awaitingPage) {
            seat.awaitingPage = false;
            ++outcome.lost;
        }
    }
    m_awaiting = 0;
    m_orderOutcome = nullptr;
    return outcome;
}

void SeatFleet::Disconnect() {
    for (Seat& seat : m_seats) {
        CloseRequest(seat, Phase::Closed);
        CloseSocket(seat.feedback);
        seat.page.Reset();
        seat.awaitingPage = false;
    }
    m_awaiting = 0;
    m_ready.clear();
    m_waiting.clear();
    m_connecting = 0;
}

void SeatFleet::StartConnect(std::size_t index) {
    Seat& seat = m_seats[index];
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr = seat.address;
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    server.sin_port = htons(m_serverPort);
    seat.greeting.Reset();
    seat.request = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    epoll_event event{EPOLLIN | EPOLLOUT, {.u64 = Tag(index, kRequestTag)}};
    if (seat.request < 0 ||
        bind(seat.request, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        (connect(seat.request, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0 &&
         errno != EINPROGRESS) ||
        epoll_ctl(m_epoll, EPOLL_CTL_ADD, seat.request, &event) != 0) {
        CloseRequest(seat, Phase::Failed);
        return;
    }
    seat.phase = Phase::Connecting;
    ++m_connecting;
}

void SeatFleet::QueueConnect(std::size_t index) {
    m_seats[index].phase = Phase::Waiting;
    m_waiting.push_back(index);
}

void SeatFleet::StartWaitingConnects() {
    while (m_connecting < m_options.connectsInFlight && !m_waiting.empty()) {
        const std::size_t index = m_waiting.front();
        m_waiting.pop_front();
        StartConnect(index);
    }
}

void SeatFleet::Poll(std::chrono::milliseconds timeout) {
    epoll_event events[256];
    const int count = epoll_wait(m_epoll, events, 256, static_cast<int>(timeout.count()));
    for (int i = 0; i < count; ++i) {
        Dispatch(events[i].data.u64, events[i].events);
    }
    StartWaitingConnects();
}

void SeatFleet::Dispatch(std::uint64_t tag, std::uint32_t events) {
    const std::size_t index = tag >> 2;
    switch (tag & 3) {
        case kRequestTag:
            OnRequestEvent(index, events);
            break;
        case kListenerTag:
            OnListenerEvent(index);
            break;
        default:
            OnPageEvent(index);
            break;
    }
}

void SeatFleet::OnRequestEvent(std::size_t index, std::uint32_t events) {
    Seat& seat = m_seats[index];
    if (seat.phase == Phase::Connecting) {
        int error = 0;
        socklen_t length = sizeof error;
        getsockopt(seat.request, SOL_SOCKET, SO_ERROR, &error, &length);
        if (error != 0) {
            CloseRequest(seat, Phase::Failed);
            return;
        }
        if ((events & EPOLLOUT) == 0 && (events & EPOLLIN) == 0) {
            return;
        }
        epoll_event event{EPOLLIN, {.u64 = Tag(index, kRequestTag)}};
        epoll_ctl(m_epoll, EPOLL_CTL_MOD, seat.request, &event);
        seat.phase = Phase::Greeting;
        seat.connectedAt = Clock::now();
    }
    if (seat.phase == Phase::Greeting) {
        switch (seat.greeting.ReadFrom(seat.request)) {
            case FrameReader::State::Incomplete:
                return;
            case FrameReader::State::Complete:
                seat.phase = Phase::Ready;
                --m_connecting;
                if (!seat.awaitingPage) {
                    m_ready.push_back(index);
                }
                return;
            case FrameReader::State::Closed:
            case FrameReader::State::Refused:
                if (m_connectOutcome) {
                    m_connectOutcome->slowestRefusalMs =
                        std::max(m_connectOutcome->slowestRefusalMs,
                                 Milliseconds(Clock::now() - seat.connectedAt));
                }
                CloseRequest(seat, Phase::Refused);
                return;
        }
    }
    // A greeted link says nothing more; it only ends (a console that logged out closes it).
    char discard[256];
    const ssize_t count = recv(seat.request, discard, sizeof discard, 0);
    if (count == 0 || (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
        CloseRequest(seat, Phase::Closed);
        if (m_orderOutcome) {
            QueueConnect(index);
        }
    }
}

void SeatFleet::OnListenerEvent(std::size_t index) {
    Seat& seat = m_seats[index];
    for (;;) {
        const int connection =
            accept4(seat.listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (connection < 0) {
            return;
        }
        // One page at a time per seat: a newer push replaces one still arriving.
        if (seat.feedback >= 0) {
            CloseSocket(seat.feedback);
        }
        seat.feedback = connection;
        seat.page.Reset();
        epoll_event event{EPOLLIN, {.u64 = Tag(index, kPageTag)}};
        epoll_ctl(m_epoll, EPOLL_CTL_ADD, connection, &event);
        OnPageEvent(index);
    }
}

void SeatFleet::OnPageEvent(std::size_t index) {
    Seat& seat = m_seats[index];
    if (seat.feedback < 0) {
        return;
    }
    const auto state = seat.page.ReadFrom(seat.feedback);
    if (state == FrameReader::State::Incomplete) {
        return;
    }
    if (state == FrameReader::State::Complete && seat.awaitingPage && m_orderOutcome) {
        m_orderOutcome->latenciesMs.push_back(Milliseconds(Clock::now() - seat.orderedAt));
        OnPageArrived(index);
    }
    CloseSocket(seat.feedback);
    seat.page.Reset();
}

void SeatFleet::OnPageArrived(std::size_t index) {
    Seat& seat = m_seats[index];
    seat.awaitingPage = false;
    --m_awaiting;
    // A link that already ended is being made again; the seat is ready once greeted.
    if (seat.phase != Phase::Ready) {
        return;
    }
    if (m_options.sameLink) {
        m_ready.push_back(index);
    } else {
        CloseRequest(seat, Phase::Closed);
        QueueConnect(index);
    }
}

void SeatFleet::CloseRequest(Seat& seat, Phase phase) {
    if (seat.phase == Phase::Connecting || seat.phase == Phase::Greeting) {
        --m_connecting;
    }
    if (m_orderOutcome && (phase == Phase::Refused || phase == Phase::Failed)) {
        ++m_orderOutcome->dropped;
    }
    CloseSocket(seat.request);
    seat.phase = phase;
}

bool SeatFleet::SendOrder(std::size_t index) {
    Seat& seat = m_seats[index];
    if (seat.phase != Phase::Ready || seat.awaitingPage) {
        return false;
    }
    const std::string serial = "O" + std::to_string(++m_serial);
    const auto length = static_cast<std::uint32_t>(serial.size() + 1);
    std::string frame{static_cast<char>(length & 0xff), static_cast<char>((length >> 8) & 0xff),
                      static_cast<char>((length >> 16) & 0xff), static_cast<char>(length >> 24)};
    frame += serial;
    frame += '\0';
    seat.orderedAt = Clock::now();
    if (send(seat.request, frame.data(), frame.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(frame.size())) {
        CloseRequest(seat, Phase::Closed);
        QueueConnect(index);
        return false;
    }
    seat.awaitingPage = true;
    ++m_awaiting;
    return true;
}

bool SeatFleet::SendToNextReady() {
    while (!m_ready.empty()) {
        const std::size_t index = m_ready.front();
        m_ready.pop_front();
        if (SendOrder(index)) {
            return true;
        }
    }
    return false;
}

std::size_t SeatFleet::Settled() const {
    std::size_t count = 0;
    for (const Seat& seat : m_seats) {
        count += seat.phase == Phase::Ready || seat.phase == Phase::Refused ||
                         seat.phase == Phase::Failed
                     ? 1
                     : 0;
    }
    return count;
}

}  // namespace zn::bench
