// Measures a verified module download against the operator's tools on loopback: DownloadSignedFile
// of a large module signed with minisign (its signature fetched, the file hashed as it arrives and
// checked) against `curl -o` of the module and its signature followed by `minisign -V`, in the
// same run, with plain DownloadToFile for the cost of the check alone. Reports the growth of this
// process's resident memory during the verified download.
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "ChildProcess.h"
#include "PeakSampler.h"
#include "ReleaseSigner.h"
#include "WebHost.h"
#include "update/SignedDownload.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRounds = 5;
constexpr auto kChildLimit = std::chrono::minutes(5);

void WriteModule(const std::filesystem::path& file, std::size_t megabytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    std::string block(1024 * 1024, '\0');
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<char>((i * 2654435761u) >> 13);
    }
    for (std::size_t i = 0; i < megabytes; ++i) {
        block[0] = static_cast<char>(i);
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
}

struct Measured {
    double ms = 0;
    double cpuMs = 0;  // this process (the web host's serving included) and its children
    std::uint64_t residentGrowthKiB = 0;
    bool ok = false;
};

// CPU time of this process and of its children that ended, in milliseconds: a figure that the
// other builds on a shared machine do not stretch as they stretch the wall time.
double CpuMs() {
    double total = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        total += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
    }
    return total;
}

// Each measure starts without the previous files, whose dirty pages would otherwise be written
// back (and throttle the writer) during the next one.
void RemoveOutputs(const std::filesystem::path& work) {
    for (const char* name : {"ours.bin", "curl.bin", "curl.bin.minisig", "plain.bin"}) {
        std::filesystem::remove(work / name);
    }
}

Measured Measure(const std::filesystem::path& folder, const std::function<bool()>& work) {
    RemoveOutputs(folder);
    const auto before =
        zn::bench::ReadProcessFigures(getpid()).value_or(zn::bench::ProcessFigures{});
    Measured result;
    const double cpuBefore = CpuMs();
    const auto start = Clock::now();
    {
        const zn::bench::PeakSampler sampler(getpid(), before, std::chrono::milliseconds(5));
        result.ok = work();
        result.ms = zn::bench::Milliseconds(Clock::now() - start);
        result.cpuMs = CpuMs() - cpuBefore;
        const auto peak = sampler.Peak().residentKiB;
        result.residentGrowthKiB = peak > before.residentKiB ? peak - before.residentKiB : 0;
    }
    return result;
}

bool Run(std::vector<std::string> arguments) {
    zn::test::ChildProcess child({.arguments = std::move(arguments), .log = "/dev/null"});
    return child.Started() && child.WaitForExit(kChildLimit) == 0;
}

// What an operator would do by hand: fetch both files, then check with minisign.
bool CurlAndMinisign(const std::string& url, const std::filesystem::path& file,
                     const std::string& publicKey) {
    const std::string signature = file.string() + ".minisig";
    return Run({"curl", "-s", "-f", "--noproxy", "*", "-o", file.string(), url}) &&
           Run({"curl", "-s", "-f", "--noproxy", "*", "-o", signature, url + ".minisig"}) &&
           Run({"minisign", "-V", "-q", "-P", publicKey, "-x", signature, "-m", file.string()});
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void Report(const char* what, const std::vector<double>& ms, const std::vector<double>& cpuMs,
            double megabytes) {
    std::printf("%-30s %.0f MB: median %.0f ms (%.0f MB/s), best %.0f ms; CPU median %.0f ms\n",
                what, megabytes, Median(ms), megabytes * 1000 / Median(ms),
                *std::min_element(ms.begin(), ms.end()), Median(cpuMs));
}

}  // namespace

int main(int argc, char** argv) {
    double megabytes = 200;
    if (argc > 1 && !zn::bench::ParseNumber("size in MB", argv[1], megabytes)) {
        return 2;
    }
    setenv("no_proxy", "*", 1);  // loopback only, whatever the environment says
    char pattern[] = "/tmp/zn-signed-download-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        return 1;
    }
    const std::filesystem::path work = pattern;
    const auto module = work / "releases/bench/files/big.bin";
    WriteModule(module, static_cast<std::size_t>(megabytes));
    const zn::test::ReleaseSigner signer(work / "key");
    if (!signer.Ok() || !signer.Sign(module)) {
        std::fprintf(stderr, "minisign could not sign the module\n");
        return 1;
    }
    const zn::ReleaseTrust trust = zn::ReleaseTrust::FromSetting(signer.PublicKey());

    zn::webhost::WebHostConfig config;
    config.releasesFolder = work / "releases";
    config.logRequests = false;
    zn::webhost::WebHost host(config);
    const auto port = host.Start(0);
    if (!port) {
        std::fprintf(stderr, "the web host did not start\n");
        return 1;
    }
    const zn::DownloadSource source{"127.0.0.1", "bench/files/big.bin", "", "", *port};
    const std::string url = "http://127.0.0.1:" + std::to_string(*port) + "/" + source.objectPath;

    std::vector<double> verifiedMs;
    std::vector<double> toolsMs;
    std::vector<double> plainMs;
    std::vector<double> verifiedCpuMs;
    std::vector<double> toolsCpuMs;
    std::vector<double> plainCpuMs;
    std::uint64_t verifiedGrowth = 0;
    for (int round = 0; round < kRounds; ++round) {
        const Measured verified = Measure(
            work, [&] { return zn::DownloadSignedFile(source, work / "ours.bin", trust) > 0; });
        const Measured tools = Measure(
            work, [&] { return CurlAndMinisign(url, work / "curl.bin", signer.PublicKey()); });
        const Measured plain =
            Measure(work, [&] { return zn::DownloadToFile(source, work / "plain.bin") > 0; });
        if (!verified.ok || !tools.ok || !plain.ok) {
            std::fprintf(stderr, "a download failed (verified %d, curl+minisign %d, plain %d)\n",
                         verified.ok, tools.ok, plain.ok);
            return 1;
        }
        verifiedMs.push_back(verified.ms);
        toolsMs.push_back(tools.ms);
        plainMs.push_back(plain.ms);
        verifiedCpuMs.push_back(verified.cpuMs);
        toolsCpuMs.push_back(tools.cpuMs);
        plainCpuMs.push_back(plain.cpuMs);
        verifiedGrowth = std::max(verifiedGrowth, verified.residentGrowthKiB);
    }
    Report("DownloadSignedFile (verified)", verifiedMs, verifiedCpuMs, megabytes);
    Report("curl -o + minisign -V", toolsMs, toolsCpuMs, megabytes);
    Report("DownloadToFile (not verified)", plainMs, plainCpuMs, megabytes);
    std::printf("speed ratio (curl+minisign time / verified, medians): %.2f; CPU ratio %.2f\n",
                Median(toolsMs) / Median(verifiedMs), Median(toolsCpuMs) / Median(verifiedCpuMs));
    std::printf("resident memory growth during DownloadSignedFile: at most %llu KiB\n",
                static_cast<unsigned long long>(verifiedGrowth));
    host.Stop();
    std::filesystem::remove_all(work);
    return 0;
}
