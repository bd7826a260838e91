#include "ConsoleFolder.h"

#include <fstream>
#include <system_error>

#include "BenchSupport.h"
#include "console/RequestWorker.h"
#include "console/SeatList.h"
#include "platform/TextCodec.h"

namespace zn::bench {

bool PrepareConsoleFolder(const std::filesystem::path& folder, std::size_t seats) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::ofstream list(folder / console::kSeatListFileName, std::ios::trunc);
    list << "<?xml version=\"1.0\" encoding=\"UTF-8\"?><SeatList>";
    for (std::size_t i = 0; i < seats; ++i) {
        list << "<Seat IP=\"" << SeatAddress(1, i) << "\">" << (i + 1) << "</Seat>";
    }
    list << "</SeatList>";
    std::ofstream page(folder / console::kNoticePageFileName, std::ios::trunc | std::ios::binary);
    page << TextCodec::Utf8ToGbk(
        "<html><head><title>ZentrovaNubra</title></head><body><p>您的购买请求已成功发送到收银台，"
        "请稍候。</p></body></html>");
    list.close();
    page.close();
    return list && page;
}

}  // namespace zn::bench
