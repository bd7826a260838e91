#include "SeatProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "WaitFor.h"

extern char** environ;

namespace zn::e2e {

SeatProcess::SeatProcess(const zn::test::Sandbox& sandbox, const std::filesystem::path& folder,
                         const std::filesystem::path& dialogLog) {
    const auto file = folder / "ZentrovaNubraClient";
    const auto browserRuntime = sandbox.Path() / "xdg-run";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::filesystem::create_directories(browserRuntime, error);
    std::filesystem::permissions(browserRuntime, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace, error);
    if (!std::filesystem::exists(file)) {
        // The program folder matters: a link, or else a copy, of the program file.
        std::filesystem::create_hard_link(ZN_CLIENT_PROGRAM, file, error);
        if (error) {
            std::filesystem::copy_file(ZN_CLIENT_PROGRAM, file, error);
        }
    }

    std::map<std::string, std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        const auto equals = text.find('=');
        if (equals != std::string_view::npos) {
            environment[std::string(text.substr(0, equals))] = std::string(text.substr(equals + 1));
        }
    }
    environment["LC_ALL"] = "C.UTF-8";
    environment["TZ"] = "UTC";
    environment["QT_QPA_PLATFORM"] = "offscreen";
    environment["QTWEBENGINE_DISABLE_SANDBOX"] = "1";
    environment["QTWEBENGINE_CHROMIUM_FLAGS"] =
        "--disable-gpu --no-sandbox --disable-background-networking --disable-component-update "
        "--disable-sync --no-first-run";
    environment["XDG_RUNTIME_DIR"] = browserRuntime.string();
    environment["ZENTROVA_DIALOG_LOG"] = dialogLog.string();
    environment["ZENTROVA_DIALOG_ANSWERS"] = "";
    std::vector<std::string> entries;
    for (const auto& [name, value] : environment) {
        entries.push_back(name + "=" + value);
    }
    std::vector<char*> envp;
    for (std::string& entry : entries) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    std::string programText = file.string();
    char* argv[] = {programText.data(), nullptr};
    const std::string output = (folder / "client-output.txt").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    // A group of its own, so that its browser processes go with it.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    if (posix_spawn(&m_pid, programText.c_str(), &actions, &attributes, argv, envp.data()) != 0) {
        m_pid = -1;
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
}

SeatProcess::~SeatProcess() {
    if (m_pid > 0) {
        kill(-m_pid, SIGKILL);
        if (Running()) {
            int status = 0;
            waitpid(m_pid, &status, 0);
        }
    }
}

bool SeatProcess::Running() {
    if (m_pid <= 0 || m_exitCode) {
        return false;
    }
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == 0) {
        return true;
    }
    m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
}

std::optional<int> SeatProcess::WaitForExit(std::chrono::milliseconds limit) {
    zn::test::WaitFor([this] { return !Running(); }, limit);
    return m_exitCode;
}

}  // namespace zn::e2e
