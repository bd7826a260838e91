#include "ProgramProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <system_error>

#include "WaitFor.h"

extern char** environ;

namespace zn::e2e {
namespace {

// The program folder matters: a link, or else a copy, of the program file.
void PlaceProgramFile(const std::filesystem::path& source, const std::filesystem::path& file) {
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    if (!std::filesystem::exists(file)) {
        std::filesystem::create_hard_link(source, file, error);
        if (error) {
            std::filesystem::copy_file(source, file, error);
        }
    }
}

// The browser insists on a runtime folder that only its owner may enter.
std::filesystem::path BrowserRuntimeFolder(const zn::test::Sandbox& sandbox) {
    const auto folder = sandbox.Path() / "xdg-run";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace, error);
    return folder;
}

// This process's environment, as "NAME=value" entries, with the program's settings on top.
std::vector<std::string> ProgramEnvironment(const zn::test::Sandbox& sandbox,
                                            const ProgramOptions& options) {
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
    environment["XDG_RUNTIME_DIR"] = BrowserRuntimeFolder(sandbox).string();
    environment["ZENTROVA_DIALOG_LOG"] = options.dialogLog.string();
    environment["ZENTROVA_DIALOG_ANSWERS"] = options.dialogAnswers;
    std::vector<std::string> entries;
    for (const auto& [name, value] : environment) {
        entries.push_back(name + "=" + value);
    }
    return entries;
}

std::vector<char*> NullTerminated(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

ProgramProcess::ProgramProcess(const zn::test::Sandbox& sandbox, ProgramOptions options) {
    const auto file = options.folder / options.name;
    PlaceProgramFile(options.source, file);
    std::vector<std::string> environment = ProgramEnvironment(sandbox, options);
    std::vector<char*> envp = NullTerminated(environment);
    int inputPipe[2] = {-1, -1};
    if (options.takesInput && pipe2(inputPipe, O_CLOEXEC) != 0) {
        return;
    }
    std::vector<std::string> argvTexts{file.string()};
    argvTexts.insert(argvTexts.end(), options.arguments.begin(), options.arguments.end());
    std::vector<char*> argv = NullTerminated(argvTexts);
    const std::string output = options.output.string();

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, options.folder.c_str());
    if (options.takesInput) {
        posix_spawn_file_actions_adddup2(&actions, inputPipe[0], STDIN_FILENO);
    }
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    // A group of its own, so that its browser processes go with it.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    if (posix_spawn(&m_pid, argv[0], &actions, &attributes, argv.data(), envp.data()) != 0) {
        m_pid = -1;
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (options.takesInput) {
        close(inputPipe[0]);
        m_input = inputPipe[1];
    }
}

ProgramProcess::~ProgramProcess() {
    if (m_input >= 0) {
        close(m_input);
    }
    if (m_pid > 0) {
        kill(-m_pid, SIGKILL);
        if (Running()) {
            int status = 0;
            waitpid(m_pid, &status, 0);
        }
    }
}

bool ProgramProcess::Running() {
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

std::optional<int> ProgramProcess::WaitForExit(std::chrono::milliseconds limit) {
    zn::test::WaitFor([this] { return !Running(); }, limit);
    return m_exitCode;
}

bool ProgramProcess::WriteInput(std::string_view text) {
    return m_input >= 0 &&
           write(m_input, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

}  // namespace zn::e2e
