#include "ReleaseSigner.h"

#include <chrono>
#include <fstream>
#include <vector>

#include "ChildProcess.h"

namespace zn::test {

namespace {

constexpr auto kLimit = std::chrono::seconds(30);

bool RunMinisign(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "minisign");
    ChildProcess minisign({.arguments = std::move(arguments), .log = "/dev/null"});
    return minisign.Started() && minisign.WaitForExit(kLimit) == 0;
}

}  // namespace

ReleaseSigner::ReleaseSigner(const std::filesystem::path& folder)
    : m_secretKey(folder / "release.key") {
    std::filesystem::create_directories(folder);
    const std::filesystem::path publicKey = folder / "release.pub";
    if (!RunMinisign({"-G", "-f", "-W", "-p", publicKey, "-s", m_secretKey})) {
        return;
    }
    std::ifstream file(publicKey);
    std::string comment;
    std::getline(file, comment);
    std::getline(file, m_publicKey);
}

bool ReleaseSigner::Sign(const std::filesystem::path& file, const SignOptions& options) const {
    std::vector<std::string> arguments = {"-S", "-s", m_secretKey, "-m", file};
    if (options.legacy) {
        arguments.emplace_back("-l");
    }
    if (!options.trustedComment.empty()) {
        arguments.insert(arguments.end(), {"-t", options.trustedComment});
    }
    if (!options.signatureFile.empty()) {
        arguments.insert(arguments.end(), {"-x", options.signatureFile});
    }
    return RunMinisign(std::move(arguments));
}

}  // namespace zn::test
