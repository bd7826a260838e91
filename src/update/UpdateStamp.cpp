#include "update/UpdateStamp.h"

#include <cstdio>
#include <ctime>
#include <string>

namespace zn {

UpdateStamp ParseUpdateStamp(std::string_view text) {
    int year = 2000;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    const std::string terminated(text);
    // sscanf keeps what it scanned before a mismatch, which is exactly the rule for partial stamps.
    std::sscanf(terminated.c_str(), "%4d-%4d-%4d %4d:%4d:%4d", &year, &month, &day, &hour, &minute,
                &second);
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return static_cast<UpdateStamp>(std::mktime(&local));
}

}  // namespace zn
