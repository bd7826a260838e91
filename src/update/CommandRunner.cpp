#include "update/CommandRunner.h"

#include <cstring>
#include <system_error>

#include "platform/Child.h"
#include "platform/ExeSuffix.h"
#include "platform/Log.h"
#include "update/CommandLine.h"
#include "update/ManifestPath.h"

namespace zn {

namespace {

// Linux programs have no ".exe": a path ending in it names the file without it when only that
// exists, and a bare name always does (PATH holds no ".exe" files).
std::string WithoutWindowsSuffix(std::string path) {
    std::string stripped(WithoutExeSuffix(path));
    if (stripped.size() == path.size() || path.find('/') == std::string::npos) {
        return stripped;
    }
    std::error_code error;
    return std::filesystem::exists(path, error) ? path : stripped;
}

std::string ResolvedPath(std::uint16_t flags, std::string_view command,
                         const std::filesystem::path& programFolder) {
    const std::string text = ManifestPathText(command);
    if (flags & CommandRunner::kFromContentFolder) {
        return WithoutWindowsSuffix((programFolder / "Content").string() + "/" + text);
    }
    if (flags & CommandRunner::kFromProgramFolder) {
        return WithoutWindowsSuffix(programFolder.string() + "/" + text);
    }
    return WithoutWindowsSuffix(text);
}

}  // namespace

CommandRunner::CommandRunner(std::uint16_t flags, std::string_view command,
                             std::vector<std::string> arguments,
                             const std::filesystem::path& programFolder)
    : m_flags(flags),
      m_path(ResolvedPath(flags, command, programFolder)),
      m_arguments(std::move(arguments)) {}

int CommandRunner::Run(std::chrono::milliseconds waitLimit) const {
    const std::vector<std::string> argv = SplitCommandLine(BuildCommandLine(m_path, m_arguments));
    StartOptions options;
    options.searchPath = m_path.find('/') == std::string::npos;
    options.silent = (m_flags & kHidden) != 0;
    options.group = ChildGroup::OwnSession;
    Child child;
    if (const int error = StartChild(m_path, argv, options, child); error != 0) {
        log::Error("Cannot start {}: {}", m_path, std::strerror(error));
        return error;
    }
    if ((m_flags & kWaitForEnd) != 0 && !child.Wait(waitLimit)) {
        log::Warn("{} (process {}) has not ended after {} s; going on without it", m_path,
                  child.Pid(), std::chrono::duration_cast<std::chrono::seconds>(waitLimit).count());
    }
    return 0;
}

}  // namespace zn
