#include "ServerProcess.h"

#include <csignal>
#include <cstdio>
#include <sstream>

#include "ChildProcess.h"

namespace zn::bench {

ServerProcess::ServerProcess() = default;

ServerProcess::~ServerProcess() {
    Stop();
}

bool ServerProcess::Start(const std::vector<std::string>& arguments,
                          const std::filesystem::path& errors, std::chrono::seconds limit) {
    m_child = std::make_unique<zn::test::ChildProcess>(
        zn::test::ChildOptions{.arguments = arguments, .log = errors, .pipeOutput = true});
    if (!m_child->Started()) {
        std::fprintf(stderr, "cannot start %s\n", arguments.front().c_str());
        m_child.reset();
        return false;
    }
    std::istringstream fields(m_child->ReadLine(limit).value_or(""));
    std::string word;
    if (!(fields >> word >> m_ports[0] >> m_ports[1]) || word != "ready") {
        std::fprintf(stderr, "%s did not get ready\n", arguments.front().c_str());
        Stop();
        return false;
    }
    if (!(fields >> m_measured)) {
        m_measured = -1;
    }
    return true;
}

pid_t ServerProcess::Pid() const {
    return m_child ? m_child->Pid() : -1;
}

std::string ServerProcess::Stop(std::chrono::seconds limit) {
    if (!m_child) {
        return {};
    }
    m_child->Signal(SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::string rest;
    while (const auto line = m_child->ReadLine(deadline)) {
        rest += *line + "\n";
    }
    m_child->Stop(std::chrono::milliseconds(0));
    m_child.reset();
    m_measured = -1;
    return rest;
}

}  // namespace zn::bench
