// Measures the update engine's downloads against the local web host on loopback:
// DownloadToFile of a large module against `curl -o` of the same file in the same run (speed and
// the growth of this process's resident memory), and DownloadToMemory of a 1 MB manifest.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "ChildProcess.h"
#include "WebHost.h"
#include "update/HttpDownload.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRounds = 5;
constexpr int kManifestFetches = 20;
constexpr std::size_t kManifestBytes = 1024 * 1024;

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

void WriteManifest(const std::filesystem::path& file) {
    std::string text = "<R><Version_File Update=\"2024-03-01 09:00:00\" Container=\"files/\"/>";
    for (int i = 0; text.size() < kManifestBytes - 200; ++i) {
        text += "<Module ModuleName=\"Module" + std::to_string(i) + "\" ModulePath=\"m\\file" +
                std::to_string(i) + ".bin\" Update=\"2024-03-01 09:00:00\" CopyTo=\"m\\f" +
                std::to_string(i) + "\"/>";
    }
    text += "</R>";
    std::ofstream(file, std::ios::binary) << text;
}

std::uint64_t ResidentKiB() {
    const auto figures = zn::bench::ReadProcessFigures(getpid());
    return figures ? figures->residentKiB : 0;
}

struct Measured {
    double ms = 0;
    std::uint64_t residentGrowthKiB = 0;  // peak during the run over the level before it
    bool ok = false;
};

// Runs the work while a sampler watches this process's resident memory.
Measured Measure(const std::function<bool()>& work) {
    const std::uint64_t before = ResidentKiB();
    std::atomic<bool> done{false};
    std::atomic<std::uint64_t> peak{before};
    std::thread sampler([&] {
        while (!done) {
            peak = std::max(peak.load(), ResidentKiB());
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const auto start = Clock::now();
    Measured result;
    result.ok = work();
    result.ms = zn::bench::Milliseconds(Clock::now() - start);
    done = true;
    sampler.join();
    result.residentGrowthKiB = peak > before ? peak - before : 0;
    return result;
}

bool CurlToFile(const std::string& url, const std::filesystem::path& file) {
    zn::test::ChildProcess curl(
        {.arguments = {"curl", "-s", "-f", "--noproxy", "*", "-o", file.string(), url}});
    return curl.WaitForExit(std::chrono::minutes(5)) == 0;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    double megabytes = 200;
    if (argc > 1 && !zn::bench::ParseNumber("size in MB", argv[1], megabytes)) {
        return 2;
    }
    setenv("no_proxy", "*", 1);  // loopback only, whatever the environment says
    char pattern[] = "/tmp/zn-download-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        return 1;
    }
    const std::filesystem::path work = pattern;
    WriteModule(work / "releases/bench/files/big.bin", static_cast<std::size_t>(megabytes));
    WriteManifest(work / "releases/bench/ContentUpdate.xml");

    zn::webhost::WebHostConfig config;
    config.releasesFolder = work / "releases";
    config.logRequests = false;
    zn::webhost::WebHost host(config);
    const auto port = host.Start(0);
    if (!port) {
        std::fprintf(stderr, "the web host did not start\n");
        return 1;
    }
    zn::DownloadSource module{"127.0.0.1", "bench/files/big.bin", "", "", *port};
    const std::string url = "http://127.0.0.1:" + std::to_string(*port) + "/" + module.objectPath;

    std::vector<double> oursMs;
    std::vector<double> curlMs;
    std::uint64_t oursGrowth = 0;
    for (int round = 0; round < kRounds; ++round) {
        const Measured ours =
            Measure([&] { return zn::DownloadToFile(module, work / "ours.bin") > 0; });
        const Measured curl = Measure([&] { return CurlToFile(url, work / "curl.bin"); });
        if (!ours.ok || !curl.ok) {
            std::fprintf(stderr, "a download failed (ours %d, curl %d)\n", ours.ok, curl.ok);
            return 1;
        }
        oursMs.push_back(ours.ms);
        curlMs.push_back(curl.ms);
        oursGrowth = std::max(oursGrowth, ours.residentGrowthKiB);
    }
    const double mb = megabytes;
    std::printf("DownloadToFile %.0f MB: median %.0f ms (%.0f MB/s), best %.0f ms\n", mb,
                Median(oursMs), mb * 1000 / Median(oursMs),
                *std::min_element(oursMs.begin(), oursMs.end()));
    std::printf("curl -o        %.0f MB: median %.0f ms (%.0f MB/s), best %.0f ms\n", mb,
                Median(curlMs), mb * 1000 / Median(curlMs),
                *std::min_element(curlMs.begin(), curlMs.end()));
    std::printf("speed ratio (curl time / ours, medians): %.2f\n", Median(curlMs) / Median(oursMs));
    std::printf("resident memory growth during DownloadToFile: at most %llu KiB\n",
                static_cast<unsigned long long>(oursGrowth));

    zn::DownloadSource manifest{"127.0.0.1", "bench/ContentUpdate.xml", "", "", *port};
    std::vector<double> manifestMs;
    std::uint64_t manifestGrowth = 0;
    for (int i = 0; i < kManifestFetches; ++i) {
        std::string buffer;
        const Measured fetched = Measure(
            [&] { return zn::DownloadToMemory(manifest, std::string_view("\0", 1), buffer) > 0; });
        if (!fetched.ok) {
            std::fprintf(stderr, "the manifest download failed\n");
            return 1;
        }
        manifestMs.push_back(fetched.ms);
        manifestGrowth = std::max(manifestGrowth, fetched.residentGrowthKiB);
    }
    std::printf(
        "DownloadToMemory 1 MB manifest: median %.1f ms, best %.1f ms, peak growth %llu KiB\n",
        Median(manifestMs), *std::min_element(manifestMs.begin(), manifestMs.end()),
        static_cast<unsigned long long>(manifestGrowth));
    host.Stop();
    std::filesystem::remove_all(work);
    return 0;
}
