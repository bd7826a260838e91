#include "LogCapture.h"

#include <spdlog/sinks/base_sink.h>
#include <spdlog/spdlog.h>

#include <algorithm>

namespace zn::test {

class LogCapture::Sink final : public spdlog::sinks::base_sink<std::mutex> {
public:
    std::vector<std::string> Lines() {
        const std::lock_guard lock(mutex_);
        return m_lines;
    }

protected:
    void sink_it_(const spdlog::details::log_msg& message) override {
        m_lines.emplace_back(message.payload.data(), message.payload.size());
    }
    void flush_() override {}

private:
    std::vector<std::string> m_lines;
};

LogCapture::LogCapture() : m_sink(std::make_shared<Sink>()), m_previous(spdlog::default_logger()) {
    spdlog::set_default_logger(std::make_shared<spdlog::logger>("test", m_sink));
}

LogCapture::~LogCapture() {
    spdlog::set_default_logger(m_previous);
}

std::vector<std::string> LogCapture::Lines() const {
    return m_sink->Lines();
}

bool LogCapture::Contains(std::initializer_list<std::string_view> parts) const {
    const std::vector<std::string> lines = Lines();
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return std::all_of(parts.begin(), parts.end(), [&](std::string_view part) {
            return line.find(part) != std::string::npos;
        });
    });
}

}  // namespace zn::test
