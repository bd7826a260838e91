#include "ProgramTraces.h"

#include <fstream>
#include <string>
#include <utility>

#include "WaitFor.h"
#include "platform/WindowDirectory.h"

namespace zn::e2e {

namespace {

bool HoldsAll(const std::string& line, const std::vector<std::string_view>& parts) {
    for (const std::string_view part : parts) {
        if (line.find(part) == std::string::npos) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::size_t CountDialogLines(const std::filesystem::path& log,
                             const std::vector<std::string_view>& parts) {
    std::size_t count = 0;
    std::ifstream file(log);
    for (std::string line; std::getline(file, line);) {
        count += HoldsAll(line, parts) ? 1 : 0;
    }
    return count;
}

std::string LastDialogLine(const std::filesystem::path& log,
                           const std::vector<std::string_view>& parts) {
    std::string last;
    std::ifstream file(log);
    for (std::string line; std::getline(file, line);) {
        if (HoldsAll(line, parts)) {
            last = std::move(line);
        }
    }
    return last;
}

bool WaitForDialogLine(const std::filesystem::path& log, const std::vector<std::string_view>& parts,
                       std::chrono::milliseconds limit, std::size_t count) {
    return zn::test::WaitFor([&] { return CountDialogLines(log, parts) >= count; }, limit);
}

bool WaitForCaption(const zn::test::Sandbox& sandbox, std::string_view caption,
                    std::chrono::milliseconds limit) {
    return zn::test::WaitFor(
        [&] { return WindowDirectory(sandbox.RuntimeFolder()).Find({}, caption).has_value(); },
        limit);
}

}  // namespace zn::e2e
