#include "console/MessageLog.h"

#include <time.h>

#include <fstream>
#include <sstream>
#include <system_error>

#include "platform/Log.h"
#include "platform/ReplacementFile.h"
#include "platform/Utf8.h"

namespace zn::console {

namespace {

// One message a line: day, time, seat, address and text, tab-separated; tabs, line breaks and
// backslashes inside a field are escaped.
std::string Escape(std::string_view field) {
    std::string escaped;
    for (const char c : field) {
        switch (c) {
            case '\\':
                escaped += "\\\\";
                break;
            case '\t':
                escaped += "\\t";
                break;
            case '\n':
                escaped += "\\n";
                break;
            case '\r':
                escaped += "\\r";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

std::string Unescape(std::string_view field) {
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            text += field[i];
            continue;
        }
        const char next = field[++i];
        text += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return text;
}

std::vector<std::string> SplitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab = line.find('\t'); tab != std::string::npos;
         start = tab + 1, tab = line.find('\t', start)) {
        fields.push_back(Unescape(std::string_view(line).substr(start, tab - start)));
    }
    fields.push_back(Unescape(std::string_view(line).substr(start)));
    return fields;
}

enum class Part { Day, Time };

std::string Format(std::chrono::system_clock::time_point when, Part part) {
    const time_t seconds = std::chrono::system_clock::to_time_t(when);
    tm local{};
    localtime_r(&seconds, &local);
    char text[32] = {};
    if (part == Part::Day) {
        strftime(text, sizeof text, "%F", &local);
    } else {
        strftime(text, sizeof text, "%T", &local);
    }
    return text;
}

}  // namespace

MessageLog::MessageLog(std::filesystem::path file, Clock clock)
    : m_file(std::move(file)), m_clock(std::move(clock)), m_day(Format(m_clock(), Part::Day)) {
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
    ForgetOtherDays(Format(now, Part::Day));
    m_messages.push_back(
        {Format(now, Part::Time), seat, address, std::string(Utf8::Cut(text, kMaxTextBytes))});
    if (m_messages.size() > kMaxMessages) {
        m_messages.erase(m_messages.begin());
    }
    Write();
}

std::vector<CustomerMessage> MessageLog::Today() {
    std::lock_guard lock(m_mutex);
    ForgetOtherDays(Format(m_clock(), Part::Day));
    return {m_messages.rbegin(), m_messages.rend()};
}

void MessageLog::ForgetOtherDays(const std::string& today) {
    if (today != m_day) {
        m_day = today;
        m_messages.clear();
    }
}

// Whole, through the safe replacement, so a crash or power cut never leaves half a file.
void MessageLog::Write() const {
    std::error_code error;
    std::filesystem::create_directories(m_file.parent_path(), error);
    std::ostringstream text;
    for (const CustomerMessage& message : m_messages) {
        text << m_day << '\t' << Escape(message.time) << '\t' << Escape(message.seat) << '\t'
             << Escape(message.address) << '\t' << Escape(message.text) << '\n';
    }
    const auto replaced = ReplaceFileSafely(m_file, text.view());
    if (!replaced) {
        log::Error("customer messages cannot be written ({}): they are kept until the console ends",
                   replaced.failure);
    }
}

}  // namespace zn::console
