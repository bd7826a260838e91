#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace zn::console {

inline constexpr std::string_view kMessageLogFileName = "CustomerMessages.txt";

struct CustomerMessage {
    std::string time;  // "HH:MM:SS", local time
    std::string seat;  // as the seat list names it; "未知" without an entry
    std::string address;
    std::string text;  // UTF-8
};

// The customer messages of the day, so that none is lost when its popup is gone: kept in a file
// of the console's state folder across a restart, forgotten when the day changes. Bounded: the
// newest kMaxMessages, each text cut at kMaxTextBytes. Any thread.
class MessageLog {
public:
    static constexpr std::size_t kMaxMessages = 500;
    static constexpr std::size_t kMaxTextBytes = 2048;
    static constexpr std::size_t kMaxFileBytes = 4 * 1024 * 1024;
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    // Reads the day's messages back from the file; a missing or unreadable file keeps none.
    explicit MessageLog(std::filesystem::path file, Clock clock = std::chrono::system_clock::now);

    // Keeps the message with the time now and writes the file; a file that cannot be written is
    // logged and the message stays kept in memory.
    void Add(const std::string& seat, const std::string& address, const std::string& text);
    // The day's messages, newest first.
    std::vector<CustomerMessage> Today();

private:
    void ForgetOtherDays(const std::string& today);
    void Write() const;

    std::filesystem::path m_file;
    Clock m_clock;
    std::mutex m_mutex;
    std::string m_day;                        // "YYYY-MM-DD" of the kept messages
    std::vector<CustomerMessage> m_messages;  // oldest first
};

}  // namespace zn::console
