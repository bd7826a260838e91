#include "ProgramProcess.h"

#include <map>
#include <system_error>

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
    // The tests read the program's log from its standard error, where it goes unless systemd
    // started the test run.
    environment.erase("JOURNAL_STREAM");
    environment.erase("INVOCATION_ID");
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

zn::test::ChildOptions ChildOptionsFor(const zn::test::Sandbox& sandbox,
                                       const ProgramOptions& options) {
    const auto file = options.folder / options.name;
    PlaceProgramFile(options.source, file);
    std::vector<std::string> arguments{file.string()};
    arguments.insert(arguments.end(), options.arguments.begin(), options.arguments.end());
    return {.arguments = std::move(arguments),
            .folder = options.folder,
            .environment = ProgramEnvironment(sandbox, options),
            .log = options.output,
            .pipeInput = options.takesInput,
            .ownGroup = true};
}

}  // namespace

ProgramProcess::ProgramProcess(const zn::test::Sandbox& sandbox, ProgramOptions options)
    : m_child(ChildOptionsFor(sandbox, options)) {}

}  // namespace zn::e2e
