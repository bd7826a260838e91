// zn_installed_road COUNTER_FOLDER SEAT_FOLDER WEBHOST_PORT: one order on the road through the
// installed programs, offscreen. The console runs from the counter's program folder, the seat's
// launcher from the seat's (their working folders too, as their desktop entries start them), in
// front of the web host already serving at WEBHOST_PORT on loopback, the seat's update service
// already serving at the socket that the seat's settings name. The front takes the shop's
// and update server's default port (8280), so the seat runs on the settings its package ships.
// Like the configuration tool, it writes the console's files into the counter's folder first.
// Prints what it saw, step by step; exits with 0 once the result reached the seat, else 1.
// Broadcasts if no console answers: run it only inside a network namespace.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "ConsoleHarness.h"
#include "ProgramProcess.h"
#include "ProgramTraces.h"
#include "Sandbox.h"
#include "ShopActions.h"
#include "Strays.h"
#include "WaitFor.h"
#include "platform/TextCodec.h"

namespace {

using namespace std::chrono_literals;
using namespace zn::e2e;

// Both browsers start on a loaded CI machine within it.
constexpr auto kLimit = 60s;
constexpr std::uint16_t kFrontPort = 8280;
// The ports both programs default to.
constexpr ConsolePorts kDefaultPorts{8001, 8004, 9000};

const auto kStarted = std::chrono::steady_clock::now();

void Note(std::string_view text) {
    const auto tenths = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - kStarted)
                            .count() /
                        100;
    std::printf("[%3lld.%llds] %.*s\n", static_cast<long long>(tenths / 10),
                static_cast<long long>(tenths % 10), static_cast<int>(text.size()), text.data());
    std::fflush(stdout);
}

int Fail(std::string_view what, const std::filesystem::path& traces) {
    Note(std::string("FAILED: ") + std::string(what));
    for (const char* name :
         {"console-output.txt", "console-dialogs.jsonl", "seat-output.txt", "seat-dialogs.jsonl"}) {
        std::printf("--- %s\n%s\n", name,
                    zn::test::ReadFile(traces / name).value_or("(none)").c_str());
    }
    return 1;
}

bool WriteInto(const std::filesystem::path& file, std::string_view content) {
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr) {
        return false;
    }
    const bool written = std::fwrite(content.data(), 1, content.size(), out) == content.size();
    return std::fclose(out) == 0 && written;
}

// The result page the console sent, as the seat keeps it.
std::string SeatPage(const std::filesystem::path& seat) {
    return zn::test::ReadFile(seat / "MyZentrova2.html").value_or("");
}

int Drive(const std::filesystem::path& counter, const std::filesystem::path& seat,
          std::uint16_t webhostPort) {
    const zn::test::Sandbox sandbox;
    const auto traces = sandbox.Path();
    BackOfficeFront front({.port = kFrontPort, .hostPort = webhostPort});
    WriteConsoleSettings(front, kDefaultPorts, kLoginAtStart);
    const std::string notice = zn::TextCodec::Utf8ToGbk(
        "<HTML><BODY>服务台已收到信息，请您在座位上稍等片刻</BODY></HTML>");
    if (!WriteInto(counter / "SeatList.xml", kSeatTable) ||
        !WriteInto(counter / "RequestReceived.html", notice) ||
        !WriteInto(counter / "RejectTrans.html", "<html><body>rejected</body></html>")) {
        return Fail("cannot write the console's files into its folder", traces);
    }
    Note("counter: wrote the seat table and the notice page into " + counter.string());

    const ProgramProcess console(sandbox, {.source = counter / "ZentrovaNubraConsole",
                                           .name = "ZentrovaNubraConsole",
                                           .folder = counter,
                                           .output = traces / "console-output.txt",
                                           .dialogLog = traces / "console-dialogs.jsonl",
                                           .dialogAnswers = "ok"});
    ScriptedSeat probe;
    if (!console.Started() || probe.GreetWhenAdmitted(kDefaultPorts.local, kLimit) != kGreeting) {
        return Fail("the installed console did not log in to the back office", traces);
    }
    Note("counter: the installed console logged in and greets seats");

    const ProgramProcess launcher(sandbox, {.source = seat / "LaunchNubraClient",
                                            .name = "LaunchNubraClient",
                                            .folder = seat,
                                            .output = traces / "seat-output.txt",
                                            .dialogLog = traces / "seat-dialogs.jsonl"});
    if (!launcher.Started() || !front.WaitForPage(std::string(kShopPath) + "?", kLimit)) {
        return Fail("the installed seat client did not open the shop", traces);
    }
    Note("seat: the launcher had the update service update " + (seat / "Content").string() +
         " and started the client, which opened the shop");

    front.Queue(std::string(kShopPath), std::string(kClickFirstOrder));
    const std::string transaction = std::string(kTransactionPath) + "?transid=";
    if (!front.WaitForPage(transaction, kLimit) ||
        !WaitForDialogLine(traces / "console-dialogs.jsonl", {"\"kind\":\"popup\"", kOrderPopup},
                           kLimit)) {
        return Fail("the order did not reach the counter", traces);
    }
    Note("counter: popup \"" + std::string(kOrderPopup) + "\", transaction page opened");

    front.Queue(std::string(kTransactionPath),
                "document.getElementById('ButtonOnCommitSuccess').click();");
    const std::string success = zn::TextCodec::Utf8ToGb2312("交易成功");
    if (!zn::test::WaitFor([&] { return SeatPage(seat).find(success) != std::string::npos; },
                           kLimit)) {
        return Fail("the result did not reach the seat", traces);
    }
    Note("seat: shows the result page (交易成功) in " + (seat / "MyZentrova2.html").string());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: zn_installed_road COUNTER_FOLDER SEAT_FOLDER WEBHOST_PORT\n");
        return 2;
    }
    const std::filesystem::path counter = argv[1];
    const std::filesystem::path seat = argv[2];
    const int result = Drive(counter, seat, static_cast<std::uint16_t>(std::stoi(argv[3])));
    // The client runs in a session of its own, outside the launcher's process group.
    KillProgramsUnder(seat);
    KillProgramsUnder(counter);
    return result;
}
