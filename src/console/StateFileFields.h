#pragma once

#include <chrono>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace zn::console {

// One record a line in the console's state files: fields separated by tabs, with tabs, line
// breaks and backslashes inside a field escaped, so any text (a customer's included) survives.
std::string JoinFields(std::initializer_list<std::string_view> fields);
std::vector<std::string> SplitFields(std::string_view line);

// The day's records are kept per local day: its date ("YYYY-MM-DD") and a time ("HH:MM:SS").
std::string LocalDay(std::chrono::system_clock::time_point when);
std::string LocalClockTime(std::chrono::system_clock::time_point when);

}  // namespace zn::console
