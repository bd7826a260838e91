#include "seatupdate/SeatUpdateRun.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>

#include "launcher/LauncherSettings.h"
#include "launcher/UpdateServiceWire.h"
#include "platform/AtomicFile.h"
#include "platform/LineStream.h"
#include "platform/Log.h"

namespace zn::seatupdate {
namespace {

// A service that stops reading its run's output holds the run no longer than this per line.
constexpr std::chrono::seconds kLineWait{10};

void Report(int output, const std::string& line) {
    if (!SendText(output, line, std::chrono::steady_clock::now() + kLineWait)) {
        log::Warn("Nobody reads the update's progress any more: {}", std::strerror(errno));
    }
}

// Held until the process ends; a run of the boot and one of a launcher never write together.
std::optional<FileLock> TakeRunLock(const std::filesystem::path& programFolder) {
    std::error_code ignored;  // the lock's open says why a folder is missing
    std::filesystem::create_directory(RecordFolder(programFolder), ignored);
    const std::filesystem::path file = RecordFolder(programFolder) / ".lock";
    auto lock = FileLock::OnPrivateFile(file);
    if (!lock) {
        log::Error("Cannot lock {}: {}", file.string(), std::strerror(errno));
    }
    return lock;
}

}  // namespace

std::filesystem::path RecordFolder(const std::filesystem::path& programFolder) {
    return programFolder / "Release";
}

UpdateResult RunSeatUpdate(const std::filesystem::path& programFolder, int output) {
    const auto lock = TakeRunLock(programFolder);
    if (!lock) {
        Report(output, launcher::ProgressLine(kProgressNoServer));
        Report(output, launcher::ResultLine(UpdateResult::ManifestNotFetched));
        return UpdateResult::ManifestNotFetched;
    }
    const UpdateResult result = RunLauncherUpdate(
        launcher::LauncherSettings::ClientUpdateSite(std::chrono::steady_clock::now()),
        programFolder, RecordFolder(programFolder) / "Version.xml",
        [output](std::string_view text) {
            log::Info("Status: {}", text);
            Report(output, launcher::ProgressLine(text));
        });
    Report(output, launcher::ResultLine(result));
    return result;
}

}  // namespace zn::seatupdate
