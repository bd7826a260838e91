#include "console/MessageLog.h"

#include <fstream>
#include <system_error>

#include "console/StateFileFields.h"
#include "platform/Log.h"
#include "platform/ReplacementFile.h"
#include "platform/Utf8.h"

namespace zn::console {

MessageLog::MessageLog(std::filesystem::path file, Clock clock)
    : m_file(std::move(file)), m_clock(std::move(clock)), m_day(LocalDay(m_clock())) {
    std::error_code error;
    const auto size = std::filesystem::file_size(m_file, error);
    if (error) {
        return;
    }
    if (size > kMaxFileBytes) {
        log::Warn("{} is larger than any day's messages: not read", m_file.string());
        return;
    }
    std::ifstream stream(m_file, std::ios::binary);
    std::string line;
    while (std::getline(stream, line)) {
        std::vector<std::string> fields = SplitFields(line);
        if (fields.size() != 5 || fields[0] != m_day) {
            continue;
        }
        m_messages.push_back({std::move(fields[1]), std::move(fields[2]), std::move(fields[3]),
                              std::string(Utf8::Cut(fields[4], kMaxTextBytes))});
        if (m_messages.size() > kMaxMessages) {
            m_messages.erase(m_messages.begin());
        }
    }
}

void MessageLog::Add(const std::string& seat, const std::string& address, const std::string& text) {
    const auto now = m_clock();
    std::lock_guard lock(m_mutex);
    ForgetOtherDays(LocalDay(now));
    m_messages.push_back(
        {LocalClockTime(now), seat, address, std::string(Utf8::Cut(text, kMaxTextBytes))});
    if (m_messages.size() > kMaxMessages) {
        m_messages.erase(m_messages.begin());
    }
    Write();
}

std::vector<CustomerMessage> MessageLog::Today() {
    std::lock_guard lock(m_mutex);
    ForgetOtherDays(LocalDay(m_clock()));
    return {m_messages.rbegin(), m_messages.rend()};
}

void MessageLog::ForgetOtherDays(const std::string& today) {
    if (today != m_day) {
        m_day = today;
        m_messages.clear();
    }
}

// One message a line: day, time, seat, address and text; whole, through the safe replacement, so
// a crash or power cut never leaves half a file.
void MessageLog::Write() const {
    std::string content;
    for (const CustomerMessage& message : m_messages) {
        content += JoinFields({m_day, message.time, message.seat, message.address, message.text});
        content += '\n';
    }
    std::error_code ignored;
    std::filesystem::create_directories(m_file.parent_path(), ignored);
    const auto replaced = ReplaceFileSafely(m_file, content);
    if (!replaced) {
        log::Error("customer messages cannot be written ({}): they are kept until the console ends",
                   replaced.failure);
    }
}

}  // namespace zn::console
