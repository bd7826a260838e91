// zentrova-seat-update: a seat's update of Content/ under an account of its own.
//   zentrova-seat-update [--folder FOLDER] --run           one run; its lines on standard output
//   zentrova-seat-update [--folder FOLDER] --listen SOCKET serves launchers at SOCKET (mode 0666)
//   zentrova-seat-update [--folder FOLDER]                 serves the socket systemd hands over
// FOLDER is the seat's program folder (default: this program's), whose gameclient.dat gives the
// update server: nothing of it comes from a launcher.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Log.h"
#include "platform/ProgramFolder.h"
#include "platform/UnixSocket.h"
#include "seatupdate/SeatUpdateRun.h"
#include "seatupdate/UpdateService.h"

namespace {

constexpr std::string_view kProgram = "zentrova-seat-update";

struct Options {
    std::filesystem::path folder;
    std::filesystem::path listen;
    bool run = false;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--run") {
            options.run = true;
        } else if ((option == "--folder" || option == "--listen") && i + 1 < argc) {
            (option == "--folder" ? options.folder : options.listen) = argv[++i];
        } else {
            return false;
        }
    }
    return !(options.run && !options.listen.empty());
}

int Serve(const Options& options) {
    zn::UniqueFd listener = options.listen.empty() ? zn::InheritedListener()
                                                   : zn::ListenUnixSocket(options.listen, 0666);
    if (!listener.IsValid()) {
        zn::log::Error("No socket to serve launchers on ({}): {}",
                       options.listen.empty() ? "none handed over" : options.listen.string(),
                       std::strerror(errno));
        return 1;
    }
    zn::log::Info("Serving launchers for {}", options.folder.string());
    zn::seatupdate::ServeLaunchers(
        listener.Get(), {"/proc/self/exe", "--folder", options.folder.string(), "--run"});
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s [--folder FOLDER] [--run | --listen SOCKET]\n",
                     kProgram.data());
        return 2;
    }
    zn::log::StartProgramLog(kProgram);
    // A launcher or service that went must not end a run that is deploying.
    ::signal(SIGPIPE, SIG_IGN);
    std::error_code error;
    options.folder = options.folder.empty() ? zn::ProgramFolder()
                                            : std::filesystem::absolute(options.folder, error);
    if (::chdir(options.folder.c_str()) != 0) {
        zn::log::Error("Cannot enter the seat's folder {}: {}", options.folder.string(),
                       std::strerror(errno));
        return 1;
    }
    if (options.run) {
        const zn::UpdateResult result =
            zn::seatupdate::RunSeatUpdate(options.folder, STDOUT_FILENO);
        return result == zn::UpdateResult::Current || result == zn::UpdateResult::Updated ? 0 : 1;
    }
    return Serve(options);
}
