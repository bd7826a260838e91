// A program for the tests to start: it records its arguments, prints, exits or stays as told by
// its environment, so the tests see exactly what a started program receives.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

const char* Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// One line per run, the arguments after the program separated by "|".
void Record(int argc, char** argv) {
    const char* file = Env("ZN_CHILD_RECORD");
    if (*file == '\0') {
        return;
    }
    std::string line;
    for (int i = 1; i < argc; ++i) {
        line += i > 1 ? "|" : "";
        line += argv[i];
    }
    line += '\n';
    const int fd = open(file, O_WRONLY | O_APPEND | O_CREAT, 0644);
    if (fd >= 0) {
        (void)!write(fd, line.data(), line.size());
        close(fd);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string stay = Env("ZN_CHILD_STAY");
    if (stay == "ignore-term") {
        signal(SIGTERM, SIG_IGN);
    }
    // Recorded only now, so a test that saw the record knows the signal is already ignored.
    Record(argc, argv);
    const std::string print = Env("ZN_CHILD_PRINT");
    (void)!write(1, print.data(), print.size());
    if (!stay.empty()) {
        // Bounded, so that a child a failed test left behind still goes away.
        std::this_thread::sleep_for(std::chrono::seconds(60));
    }
    return std::atoi(Env("ZN_CHILD_EXIT"));
}
