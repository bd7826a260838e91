#pragma once

#include <netinet/in.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "FrameReader.h"

namespace zn::bench {

struct FleetOptions {
    std::size_t seats = 500;
    std::uint16_t feedbackPort = 18004;
    // Seats play from 127.<addressBlock>.x.y.
    std::uint8_t addressBlock = 1;
    // Connections being set up at once, within the server's listen backlog.
    std::size_t connectsInFlight = 64;
    // Our seat closes its link once its order's page arrived and connects again for the next;
    // older seats keep ordering on the link they have.
    bool sameLink = false;
};

struct ConnectOutcome {
    std::size_t greeted = 0;
    std::size_t refused = 0;  // closed before any greeting
    std::size_t failed = 0;   // connect failed, or no answer in time
    double slowestRefusalMs = 0;
    double elapsedMs = 0;
};

struct OrderOutcome {
    std::size_t sent = 0;
    std::size_t skipped = 0;  // due while every greeted seat was still busy with an order
    std::size_t lost = 0;     // no page within the drain time
    std::size_t dropped = 0;  // seats whose new link was refused or failed; they order no more
    std::vector<double> latenciesMs;
    double elapsedMs = 0;
};

// Paced (orders per second), or a closed loop (this many orders always unanswered).
struct OrderPace {
    double rate = 0;
    std::size_t inFlight = 0;
};

// Plays many seats from one thread: each holds a request connection from its own loopback
// address and listens for its pages on that address at the feedback port, as a seat does.
class SeatFleet {
public:
    explicit SeatFleet(FleetOptions options);
    ~SeatFleet();
    SeatFleet(const SeatFleet&) = delete;
    SeatFleet& operator=(const SeatFleet&) = delete;

    // Binds every seat's feedback listener; false (after a message) when one cannot be had.
    bool Open();
    // Connects every seat to the server on 127.0.0.1 and waits until each has its greeting,
    // was refused or failed, or the time is up.
    ConnectOutcome ConnectAll(std::uint16_t serverPort, std::chrono::seconds limit);
    // Sends orders to greeted, idle seats in turn, for `duration` or until `maxOrders` were sent
    // (0: no bound), then waits up to `drain` for the last pages: `pace.rate` a second, or, when
    // `pace.inFlight` is set, as many as keep that many unanswered. A seat whose link ended
    // connects again before its next order.
    OrderOutcome PlaceOrders(const OrderPace& pace, std::chrono::milliseconds duration,
                             std::size_t maxOrders, std::chrono::seconds drain);
    // Closes every request connection (the feedback listeners stay).
    void Disconnect();

private:
    enum class Phase { Closed, Waiting, Connecting, Greeting, Ready, Refused, Failed };
    struct Seat {
        in_addr address{};
        Phase phase = Phase::Closed;
        int request = -1;
        FrameReader greeting{64 * 1024};
        int listener = -1;
        int feedback = -1;
        FrameReader page{16 * 1024 * 1024};
        std::chrono::steady_clock::time_point connectedAt;
        std::chrono::steady_clock::time_point orderedAt;
        bool awaitingPage = false;
    };

    void QueueConnect(std::size_t index);
    void StartConnect(std::size_t index);
    void StartWaitingConnects();
    void Dispatch(std::uint64_t tag, std::uint32_t events);
    void OnRequestEvent(std::size_t index, std::uint32_t events);
    void OnListenerEvent(std::size_t index);
    void OnPageEvent(std::size_t index);
    void CloseRequest(Seat& seat, Phase phase);
    void OnPageArrived(std::size_t index);
    bool SendOrder(std::size_t index);
    bool SendToNextReady();
    void Poll(std::chrono::milliseconds timeout);
    std::size_t Settled() const;

    FleetOptions m_options;
    std::uint16_t m_serverPort = 0;
    int m_epoll = -1;
    std::vector<Seat> m_seats;
    std::deque<std::size_t> m_waiting;  // to connect, oldest first
    std::deque<std::size_t> m_ready;    // greeted and idle, in order of readiness
    std::size_t m_connecting = 0;
    std::size_t m_serial = 0;
    std::size_t m_awaiting = 0;
    ConnectOutcome* m_connectOutcome = nullptr;
    OrderOutcome* m_orderOutcome = nullptr;
};

}  // namespace zn::bench
