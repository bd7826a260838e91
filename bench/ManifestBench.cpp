// The launcher's run on a release of many modules against a local copy of as many (BENCHMARKS.md):
// RunLauncherUpdate against the local web host until it returns, which is what a seat waits for
// before its client starts, with one module newer on the server. Then the run's per-module
// decisions alone, on the same documents in the same run: one look-up of each server module in
// the local copy (the way runs decided before) against the one-pass index runs use now.
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "WebHost.h"
#include "update/Manifest.h"
#include "update/UpdateRun.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRounds = 5;
constexpr int kLookUpRounds = 3;
constexpr const char* kClientPath = "Zentrova/NubraClient_Murvel/Update/";

// Module 0 is newer on the server; every other one is strictly newer in the local copy.
std::string Manifest(long modules, bool local) {
    std::string text = std::string("<R><Version_File Update=\"") +
                       (local ? "2024-03-01" : "2024-03-02") + "\" Container=\"files/\"/>";
    for (long i = 0; i < modules; ++i) {
        const char* stamp = local ? "2024-03-02" : (i == 0 ? "2024-03-03" : "2024-03-01");
        text += "<Module ModuleName=\"Module" + std::to_string(i) + "\" ModulePath=\"m\\file" +
                std::to_string(i) + ".bin\" Update=\"" + stamp + "\"/>";
    }
    return text + "</R>";
}

void Write(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

// The decision as runs made it before: each server module searched for in the local copy.
bool NeedsDownloadByLookUp(const zn::CXmlNode& serverModule, const zn::CXmlDocument& local) {
    const std::string serverUpdate = serverModule.GetAttribute("Update");
    if (serverUpdate.empty()) {
        return true;
    }
    const auto localModule = zn::FindLocalModule(local, serverModule.GetAttribute("ModuleName"));
    if (!localModule) {
        return true;
    }
    const std::string localUpdate = localModule.GetAttribute("Update");
    const zn::UpdateStamp localStamp =
        localUpdate.empty() ? zn::ReadUpdateStamp(local) : zn::ParseUpdateStamp(localUpdate);
    return localStamp <= zn::ParseUpdateStamp(serverUpdate);
}

// Milliseconds of each round; `step` returns how many modules it would fetch.
std::vector<double> Time(int rounds, const std::function<long()>& step, long& fetched) {
    std::vector<double> ms;
    for (int round = 0; round < rounds; ++round) {
        const auto start = Clock::now();
        fetched = step();
        ms.push_back(zn::bench::Milliseconds(Clock::now() - start));
    }
    return ms;
}

void Report(const char* what, std::vector<double> ms, long fetched) {
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s median %9.1f ms  best %9.1f ms  (%zu rounds, %ld to fetch)\n", what,
                ms[ms.size() / 2], ms.front(), ms.size(), fetched);
}

long DecideAll(const zn::CXmlDocument& server,
               const std::function<bool(const zn::CXmlNode&)>& needs) {
    long fetched = 0;
    zn::CXmlNodeList modules = server.SelectNodes("descendant::Module");
    for (long i = 0; i < modules.Length(); ++i) {
        fetched += needs(modules.Item(i)) ? 1 : 0;
    }
    return fetched;
}

}  // namespace

int main(int argc, char** argv) {
    double modules = 10000;
    if (argc > 1 && !zn::bench::ParseNumber("module count", argv[1], modules)) {
        return 2;
    }
    const auto count = static_cast<long>(modules);
    setenv("no_proxy", "*", 1);  // loopback only, whatever the environment says
    char pattern[] = "/tmp/zn-manifest-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        return 1;
    }
    const std::filesystem::path work = pattern;
    const std::string serverText = Manifest(count, false);
    const std::string localText = Manifest(count, true);
    const std::filesystem::path release = work / "releases" / kClientPath;
    Write(release / "Version.xml", serverText);
    Write(release / "files/m/file0.bin", "the one module that changed");

    zn::webhost::WebHostConfig config;
    config.releasesFolder = work / "releases";
    config.logRequests = false;
    zn::webhost::WebHost host(config);
    const auto port = host.Start(0);
    if (!port) {
        std::fprintf(stderr, "the web host did not start\n");
        return 1;
    }
    std::printf("%ld server modules against %ld local ones; manifest %zu bytes\n", count, count,
                serverText.size());
    const std::filesystem::path seat = work / "seat";
    const zn::UpdateSite site{"127.0.0.1", *port, kClientPath, {}};
    long fetched = 0;
    bool allUpdated = true;
    const auto runs = Time(
        kRounds,
        [&] {
            Write(seat / "Version.xml", localText);
            const auto result = zn::RunLauncherUpdate(site, seat, {});
            allUpdated = allUpdated && result == zn::UpdateResult::Updated;
            return 1L;
        },
        fetched);
    if (!allUpdated) {
        std::fprintf(stderr, "a run did not update\n");
        return 1;
    }
    Report("RunLauncherUpdate, whole run", runs, fetched);

    zn::CXmlDocument server;
    zn::CXmlDocument local;
    if (server.LoadXml(serverText) != zn::CXmlDocument::kLoaded ||
        local.LoadXml(localText) != zn::CXmlDocument::kLoaded) {
        return 1;
    }
    Report("decisions, one look-up per module (before)",
           Time(
               kLookUpRounds,
               [&] {
                   return DecideAll(server, [&](const zn::CXmlNode& m) {
                       return NeedsDownloadByLookUp(m, local);
                   });
               },
               fetched),
           fetched);
    Report("decisions, one-pass index (now)",
           Time(
               kRounds,
               [&] {
                   const zn::LocalModules index(&local);
                   return DecideAll(server,
                                    [&](const zn::CXmlNode& m) { return index.NeedsDownload(m); });
               },
               fetched),
           fetched);
    std::filesystem::remove_all(work);
    return 0;
}
