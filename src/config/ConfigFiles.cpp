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

std::string WriteFailedMessage(std::string_view failure) {
    return "错误：无法保存文件，原有的文件保持不变。\n" + std::string(failure);
}

}  // namespace zn::config
