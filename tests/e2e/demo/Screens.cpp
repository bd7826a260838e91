#include "Screens.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "WaitFor.h"

namespace zn::e2e {
namespace {

using namespace std::chrono_literals;

constexpr auto kToolLimit = 20s;

// The tool's standard output, line by line; nullopt when it did not end well within the limit.
std::optional<std::vector<std::string>> Run(std::vector<std::string> arguments) {
    zn::test::ChildProcess tool({.arguments = std::move(arguments), .pipeOutput = true});
    const auto deadline = std::chrono::steady_clock::now() + kToolLimit;
    std::vector<std::string> lines;
    while (auto line = tool.ReadLine(deadline)) {
        lines.push_back(std::move(*line));
    }
    if (tool.WaitForExit(kToolLimit) != 0) {
        return std::nullopt;
    }
    return lines;
}

bool Succeeds(std::vector<std::string> arguments) {
    zn::test::ChildProcess tool({.arguments = std::move(arguments)});
    return tool.WaitForExit(kToolLimit) == 0;
}

// Width times height of a window line of "xwininfo -tree" ("  0x4a (…): ("a" "B")  400x120+0+0
// +440+340"); 0 when the line is not of the class.
long long AreaOf(std::string_view line, std::string_view programClass) {
    const std::string classPart = "\"" + std::string(programClass) + "\")";
    const auto classAt = line.find(classPart);
    if (classAt == std::string_view::npos) {
        return 0;
    }
    std::string_view rest = line.substr(classAt + classPart.size());
    rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
    int width = 0;
    int height = 0;
    const auto [widthEnd, widthFailure] =
        std::from_chars(rest.data(), rest.data() + rest.size(), width);
    if (widthFailure != std::errc{} || widthEnd == rest.data() + rest.size() || *widthEnd != 'x') {
        return 0;
    }
    const auto [heightEnd, heightFailure] =
        std::from_chars(widthEnd + 1, rest.data() + rest.size(), height);
    return heightFailure == std::errc{} ? static_cast<long long>(width) * height : 0;
}

std::string LargestWindow(const std::string& display, std::string_view programClass) {
    const auto tree = Run({"xwininfo", "-display", display, "-root", "-tree"});
    std::string id;
    long long largest = 100;  // a toolkit's helper windows are smaller
    for (const std::string& line : tree.value_or(std::vector<std::string>{})) {
        const long long area = AreaOf(line, programClass);
        const auto start = line.find("0x");
        if (area > largest && start != std::string::npos) {
            largest = area;
            id = line.substr(start, line.find(' ', start) - start);
        }
    }
    return id;
}

bool Viewable(const std::string& display, const std::string& id) {
    const auto info = Run({"xwininfo", "-display", display, "-id", id});
    for (const std::string& line : info.value_or(std::vector<std::string>{})) {
        if (line.find("IsViewable") != std::string::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool Screenshot(Transcript& transcript, const std::string& display,
                const std::filesystem::path& file, std::string_view window, bool frame) {
    std::vector<std::string> arguments = {"import", "-display", display};
    if (frame) {
        arguments.emplace_back("-frame");
    }
    arguments.insert(arguments.end(), {"-window", std::string(window), file.string()});
    return transcript.Expect(Succeeds(std::move(arguments)), "screenshot: " + file.string(),
                             "no screenshot of the display " + display);
}

std::string WindowOf(const std::string& display, std::string_view programClass,
                     std::chrono::milliseconds limit) {
    std::string id;
    const bool shown = zn::test::WaitFor(
        [&] {
            id = LargestWindow(display, programClass);
            if (!id.empty() && Viewable(display, id)) {
                return true;
            }
            std::this_thread::sleep_for(200ms);
            return false;
        },
        limit);
    return shown ? id : std::string{};
}

bool CropCorner(const std::filesystem::path& picture, const std::filesystem::path& file, int width,
                int height, int bottomMargin) {
    const std::string geometry =
        std::to_string(width) + "x" + std::to_string(height) + "+0+" + std::to_string(bottomMargin);
    return Succeeds({"convert", picture.string(), "-gravity", "SouthEast", "-crop", geometry,
                     "+repage", file.string()});
}

}  // namespace zn::e2e
