#pragma once

#include <spdlog/logger.h>

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace zn::test {

// Collects the lines logged while it lives (the message text only), in place of the default
// logger's sinks; the old logger comes back when it goes.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> Lines() const;
    // True when some line contains every one of the parts.
    bool Contains(std::initializer_list<std::string_view> parts) const;

private:
    class Sink;
    std::shared_ptr<Sink> m_sink;
    std::shared_ptr<spdlog::logger> m_previous;
};

}  // namespace zn::test
