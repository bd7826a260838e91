// Runs one hostile scenario against a running console harness for a bounded time, while a
// well-behaved seat keeps ordering, and judges the outcome.
//
//   zn_abuse --scenario flood|stall|oversized|random|probes --port P --discovery-port D
//            --pid PID [--duration S] [--rss-limit-mib M] [--feedback-port F]
//
// Prints PASS or FAIL with the figures; exits 0 for PASS, 1 for FAIL, 2 for bad options.

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "FrameReader.h"

namespace {

using namespace zn::bench;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Options {
    std::string scenario;
    std::uint16_t port = 0;
    std::uint16_t discoveryPort = 0;
    pid_t pid = 0;
    double durationSeconds = 20;
    double rssLimitMiB = 100;
    std::uint16_t feedbackPort = 18004;
};

constexpr std::chrono::milliseconds kAnswerLimit{2000};
const unsigned char kProbe[4] = {0x61, 0x71, 0x74, 0x39};

sockaddr_in Endpoint(const std::string& dotted, std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    inet_pton(AF_INET, dotted.c_str(), &address.sin_addr);
    return address;
}

// A TCP connection from `from` to the console; -1 when it could not be made. Non-blocking
// connections return at once, before the handshake has completed.
int ConnectFrom(const std::string& from, std::uint16_t port, bool nonBlocking) {
    const int fd =
        socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (nonBlocking ? SOCK_NONBLOCK : 0), 0);
    const sockaddr_in local = Endpoint(from, 0);
    const sockaddr_in console = Endpoint("127.0.0.1", port);
    if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        (connect(fd, reinterpret_cast<const sockaddr*>(&console), sizeof console) != 0 &&
         errno != EINPROGRESS)) {
        if (fd >= 0) {
            close(fd);
        }
        return -1;
    }
    return fd;
}

bool SendBytes(int fd, const void* data, std::size_t size) {
    return send(fd, data, size, MSG_NOSIGNAL) == static_cast<ssize_t>(size);
}

std::string LengthPrefix(std::uint32_t length) {
    return {static_cast<char>(length & 0xff), static_cast<char>((length >> 8) & 0xff),
            static_cast<char>((length >> 16) & 0xff), static_cast<char>(length >> 24)};
}

// Reads one frame from a blocking socket within the limit.
bool ReceiveFrameWithin(int fd, std::uint32_t cap, std::chrono::milliseconds limit) {
    FrameReader reader(cap);
    const auto deadline = Clock::now() + limit;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd readable{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) != 1) {
            return false;
        }
        const auto state = reader.ReadFrom(fd);
        if (state == FrameReader::State::Complete) {
            return true;
        }
        if (state != FrameReader::State::Incomplete) {
            return false;
        }
    }
}

// The seat that behaves: greeting, order, notice page on its own feedback port.
class HonestSeat {
public:
    explicit HonestSeat(const Options& options) : m_options(options) {
        const int reuse = 1;
        const sockaddr_in local = Endpoint(kAddress, options.feedbackPort);
        m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (m_listener >= 0 &&
            (setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) != 0 ||
             bind(m_listener, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
             listen(m_listener, 8) != 0)) {
            close(m_listener);
            m_listener = -1;
        }
    }
    ~HonestSeat() {
        if (m_listener >= 0) {
            close(m_listener);
        }
    }
    HonestSeat(const HonestSeat&) = delete;
    HonestSeat& operator=(const HonestSeat&) = delete;

    // One order from greeting to page; the time it took, or nullopt when a step failed.
    std::optional<double> Order() {
        const auto start = Clock::now();
        const int link = ConnectFrom(kAddress, m_options.port, false);
        bool served = link >= 0 && ReceiveFrameWithin(link, 64 * 1024, kAnswerLimit);
        const std::string order = "O" + std::to_string(++m_serial);
        const std::string frame = LengthPrefix(static_cast<std::uint32_t>(order.size() + 1)) +
                                  order + std::string(1, '\0');
        served = served && SendBytes(link, frame.data(), frame.size()) && ReceivePage();
        if (link >= 0) {
            close(link);
        }
        return served ? std::optional(Milliseconds(Clock::now() - start)) : std::nullopt;
    }

    // A discovery probe answered in time.
    std::optional<double> Probe() const {
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const sockaddr_in responder = Endpoint("127.0.0.1", m_options.discoveryPort);
        const auto start = Clock::now();
        unsigned char answer[8];
        pollfd readable{fd, POLLIN, 0};
        const bool answered =
            fd >= 0 &&
            connect(fd, reinterpret_cast<const sockaddr*>(&responder), sizeof responder) == 0 &&
            SendBytes(fd, kProbe, sizeof kProbe) &&
            poll(&readable, 1, static_cast<int>(kAnswerLimit.count())) == 1 &&
            recv(fd, answer, sizeof answer, 0) == sizeof kProbe;
        if (fd >= 0) {
            close(fd);
        }
        return answered ? std::optional(Milliseconds(Clock::now() - start)) : std::nullopt;
    }

    bool Listening() const { return m_listener >= 0; }

private:
    static constexpr const char* kAddress = "127.1.0.1";

    bool ReceivePage() {
        pollfd readable{m_listener, POLLIN, 0};
        if (poll(&readable, 1, static_cast<int>(kAnswerLimit.count())) != 1) {
            return false;
        }
        const int page = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        const bool received = page >= 0 && ReceiveFrameWithin(page, 16 * 1024 * 1024, kAnswerLimit);
        if (page >= 0) {
            close(page);
        }
        return received;
    }

    const Options& m_options;
    int m_listener = -1;
    std::size_t m_serial = 0;
};

// Attack loops: each runs until `stop` and returns how many hostile actions it made.
using Attack = std::size_t (*)(const Options&, const std::atomic<bool>& stop);

std::string AttackerAddress(std::size_t index) {
    return SeatAddress(2, index);
}

// Many addresses each opening more connections than the per-seat cap, held a moment, again.
std::size_t Flood(const Options& options, const std::atomic<bool>& stop) {
    constexpr std::size_t kAddresses = 64;
    constexpr std::size_t kPerAddress = 12;
    std::size_t made = 0;
    while (!stop) {
        std::vector<int> held;
        for (std::size_t a = 0; a < kAddresses; ++a) {
            for (std::size_t c = 0; c < kPerAddress; ++c) {
                const int fd = ConnectFrom(AttackerAddress(a), options.port, true);
                if (fd >= 0) {
                    held.push_back(fd);
                    ++made;
                }
            }
        }
        std::this_thread::sleep_for(50ms);
        for (const int fd : held) {
            close(fd);
        }
    }
    return made;
}

// Seats that announce a body and never send it: each holds a worker until the end.
std::size_t Stall(const Options& options, const std::atomic<bool>& stop) {
    constexpr std::size_t kAddresses = 64;
    constexpr std::size_t kPerAddress = 8;
    std::vector<int> held;
    const std::string stalled = LengthPrefix(1000) + "O12345";
    for (std::size_t a = 0; a < kAddresses && !stop; ++a) {
        for (std::size_t c = 0; c < kPerAddress; ++c) {
            const int fd = ConnectFrom(AttackerAddress(a), options.port, false);
            if (fd >= 0 && SendBytes(fd, stalled.data(), stalled.size())) {
                held.push_back(fd);
            } else if (fd >= 0) {
                close(fd);
            }
        }
    }
    while (!stop) {
        std::this_thread::sleep_for(100ms);
    }
    for (const int fd : held) {
        close(fd);
    }
    return held.size();
}

// Lengths over the request cap, each sent once the greeting came, then a wait for the close.
std::size_t Oversized(const Options& options, const std::atomic<bool>& stop) {
    const std::uint32_t lengths[] = {64 * 1024 + 1, 1u << 20, 16u << 20, 0x7fffffffu, 0xffffffffu};
    std::size_t made = 0;
    while (!stop) {
        const auto length = lengths[made % std::size(lengths)];
        const int fd = ConnectFrom(AttackerAddress(made % 250), options.port, false);
        if (fd < 0) {
            continue;
        }
        const std::string frame = LengthPrefix(length) + "O1";
        SendBytes(fd, frame.data(), frame.size());
        char discard[256];
        pollfd readable{fd, POLLIN, 0};
        while (poll(&readable, 1, 1000) == 1 && recv(fd, discard, sizeof discard, 0) > 0) {
        }
        close(fd);
        ++made;
    }
    return made;
}

// Random bytes, half of them as a frame with a fitting length so the kinds are reached too.
std::size_t RandomBytes(const Options& options, const std::atomic<bool>& stop) {
    std::mt19937 random(20240611);
    std::size_t made = 0;
    while (!stop) {
        std::uniform_int_distribution<std::size_t> size(0, random() % 4 == 0 ? 70000 : 64);
        std::string bytes(size(random), '\0');
        for (char& byte : bytes) {
            byte = static_cast<char>(random());
        }
        if (made % 2 == 0) {
            bytes = LengthPrefix(static_cast<std::uint32_t>(bytes.size())) + bytes;
        }
        const int fd = ConnectFrom(AttackerAddress(made % 250), options.port, false);
        if (fd >= 0) {
            SendBytes(fd, bytes.data(), bytes.size());
            shutdown(fd, SHUT_WR);
            char discard[256];
            pollfd readable{fd, POLLIN, 0};
            while (poll(&readable, 1, 1000) == 1 && recv(fd, discard, sizeof discard, 0) > 0) {
            }
            close(fd);
        }
        ++made;
    }
    return made;
}

// Datagrams of every size to the responder, in order, and between them request connections
// carrying junk of a growing size up to just over the frame cap. Paced so that the sweep tests
// the responder's handling of each size rather than the kernel's queue for one socket.
std::size_t Probes(const Options& options, const std::atomic<bool>& stop) {
    const int udp = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const sockaddr_in responder = Endpoint("127.0.0.1", options.discoveryPort);
    std::vector<char> junk(65507, 'a');
    std::memcpy(junk.data(), kProbe, sizeof kProbe);
    std::size_t made = 0;
    std::size_t size = 0;
    while (!stop) {
        for (int burst = 0; burst < 64; ++burst, size = (size + 1) % (junk.size() + 1)) {
            sendto(udp, junk.data(), size, 0, reinterpret_cast<const sockaddr*>(&responder),
                   sizeof responder);
            ++made;
        }
        const int fd = ConnectFrom(AttackerAddress(made % 250), options.port, false);
        if (fd >= 0) {
            SendBytes(fd, junk.data(), (made * 17) % (junk.size() + 1));
            close(fd);
            ++made;
        }
        std::this_thread::sleep_for(1ms);
    }
    close(udp);
    return made;
}

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view name = argv[i];
        double value = 0;
        if (name == "--scenario") {
            options.scenario = argv[i + 1];
            continue;
        }
        if (!ParseNumber(name, argv[i + 1], value)) {
            return std::nullopt;
        }
        if (name == "--port") {
            options.port = static_cast<std::uint16_t>(value);
        } else if (name == "--discovery-port") {
            options.discoveryPort = static_cast<std::uint16_t>(value);
        } else if (name == "--pid") {
            options.pid = static_cast<pid_t>(value);
        } else if (name == "--duration" && value <= 600) {
            options.durationSeconds = value;
        } else if (name == "--rss-limit-mib") {
            options.rssLimitMiB = value;
        } else if (name == "--feedback-port") {
            options.feedbackPort = static_cast<std::uint16_t>(value);
        } else {
            return std::nullopt;
        }
    }
    if (argc % 2 == 0 || options.port == 0 || options.discoveryPort == 0 || options.pid <= 0) {
        return std::nullopt;
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    const std::map<std::string, Attack> attacks = {{"flood", Flood},
                                                   {"stall", Stall},
                                                   {"oversized", Oversized},
                                                   {"random", RandomBytes},
                                                   {"probes", Probes}};
    const auto options = ParseOptions(argc, argv);
    if (!options || !attacks.contains(options->scenario)) {
        std::fputs(
            "usage: zn_abuse --scenario flood|stall|oversized|random|probes --port P "
            "--discovery-port D --pid PID [--duration S] [--rss-limit-mib M] "
            "[--feedback-port F]\n",
            stderr);
        return 2;
    }
    RaiseFileLimit();
    HonestSeat seat(*options);
    if (!seat.Listening()) {
        std::printf("FAIL %s: the honest seat cannot listen on its feedback port\n",
                    options->scenario.c_str());
        return 1;
    }

    std::atomic<bool> stop{false};
    std::size_t actions = 0;
    std::thread attacker([&] { actions = attacks.at(options->scenario)(*options, stop); });

    std::vector<double> during;
    std::size_t failedDuring = 0;
    std::size_t unansweredProbes = 0;
    std::uint64_t peakKiB = 0;
    const auto end = Clock::now() + std::chrono::milliseconds(
                                        static_cast<std::int64_t>(options->durationSeconds * 1000));
    while (Clock::now() < end) {
        const auto order = seat.Order();
        const auto probe = seat.Probe();
        if (order && probe) {
            during.push_back(*order);
        } else {
            ++failedDuring;
            unansweredProbes += probe ? 0 : 1;
        }
        peakKiB = std::max(peakKiB,
                           ReadProcessFigures(options->pid).value_or(ProcessFigures{}).residentKiB);
        std::this_thread::sleep_for(250ms);
    }
    stop = true;
    attacker.join();
    std::this_thread::sleep_for(500ms);

    std::size_t failedAfter = 0;
    for (int i = 0; i < 5; ++i) {
        failedAfter += seat.Order() && seat.Probe() ? 0 : 1;
    }
    const auto after = ReadProcessFigures(options->pid);
    if (after) {
        peakKiB = std::max(peakKiB, after->residentKiB);
    }
    const LatencySummary latency = Summarise(during);
    const double peakMiB = static_cast<double>(peakKiB) / 1024.0;
    const bool pass = after && failedDuring == 0 && failedAfter == 0 && !during.empty() &&
                      peakMiB <= options->rssLimitMiB;
    std::printf(
        "%s %s: %zu hostile actions in %.0f s; honest seat %zu/%zu orders during "
        "(p50 %.2f ms, max %.2f ms; %zu probes unanswered), %zu/5 after; console RSS peak %.1f MiB "
        "(bound %.0f), %lu threads after\n",
        pass ? "PASS" : "FAIL", options->scenario.c_str(), actions, options->durationSeconds,
        during.size(), during.size() + failedDuring, latency.p50Ms, latency.maxMs, unansweredProbes,
        5 - failedAfter, peakMiB, options->rssLimitMiB,
        static_cast<unsigned long>(after ? after->threads : 0));
    return pass ? 0 : 1;
}
