#include "launcher/UpdateServiceWire.h"

#include <algorithm>
#include <array>

namespace zn::launcher {
namespace {

constexpr std::string_view kProgressTag = "progress ";
constexpr std::string_view kResultTag = "result ";
constexpr std::array kProgressTexts{
    kProgressChecking,     kProgressNoServer,  kProgressBadManifest, kProgressDownloading,
    kProgressModuleFailed, kProgressDeploying, kProgressNotInstalled};

constexpr std::array kResults{UpdateResult::Current,
                              UpdateResult::Updated,
                              UpdateResult::ManifestNotFetched,
                              UpdateResult::ManifestNotParsed,
                              UpdateResult::ModuleNotFetched,
                              UpdateResult::NotInstalled};

}  // namespace

std::string ProgressLine(std::string_view text) {
    std::string line(kProgressTag);
    line += text;
    line += '\n';
    return line;
}

std::string ResultLine(UpdateResult result) {
    return std::string(kResultTag) + std::to_string(static_cast<int>(result)) + "\n";
}

std::optional<ServiceLine> ParseServiceLine(std::string_view line) {
    if (line.starts_with(kProgressTag)) {
        const std::string_view text = line.substr(kProgressTag.size());
        const auto known = std::find(kProgressTexts.begin(), kProgressTexts.end(), text);
        if (known != kProgressTexts.end()) {
            return ServiceLine{*known, std::nullopt};
        }
    } else if (line.starts_with(kResultTag)) {
        const std::string_view number = line.substr(kResultTag.size());
        for (const UpdateResult result : kResults) {
            if (number == std::to_string(static_cast<int>(result))) {
                return ServiceLine{std::nullopt, result};
            }
        }
    }
    return std::nullopt;
}

}  // namespace zn::launcher
