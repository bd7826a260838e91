#include "config/ConfigFiles.h"

#include "platform/ProgramFolder.h"

namespace zn::config {

std::filesystem::path SeatListPath() {
    return ProgramFolder() / "SeatList.xml";
}

std::filesystem::path NoticePagePath() {
    return ProgramFolder() / "RequestReceived.html";
}

std::filesystem::path AlertSoundPath() {
    return ProgramFolder() / "NewRequestAlert.wav";
}

}  // namespace zn::config
