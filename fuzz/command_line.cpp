// The command line a runner builds and the argument vector the started program gets from it.
// Input: the program path, a NUL, then the arguments, one per line.
// Quotes never reach an argument; the quoted program is always the first argument; plain
// arguments arrive as they were given.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "update/CommandLine.h"

namespace {

constexpr std::size_t kMaxArguments = 32;

bool IsPlain(std::string_view argument) {
    return !argument.empty() && argument.find_first_of(" \t\"") == std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parts = zn::fuzz::SplitInput({data, size}, '\0', 2);
    const std::string_view program = parts[0];
    std::vector<std::string> arguments;
    bool allPlain = true;
    for (std::string_view rest = parts[1]; !rest.empty() && arguments.size() < kMaxArguments;) {
        const std::size_t end = rest.find('\n');
        arguments.emplace_back(rest.substr(0, end));
        allPlain = allPlain && IsPlain(arguments.back());
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    const std::vector<std::string> split =
        zn::SplitCommandLine(zn::BuildCommandLine(program, arguments));
    for (const std::string& argument : split) {
        if (argument.find('"') != std::string::npos) {
            __builtin_trap();
        }
    }
    if (program.find('"') != std::string_view::npos) {
        return 0;
    }
    if (split.empty() || split.front() != program) {
        __builtin_trap();
    }
    if (allPlain &&
        !std::equal(arguments.begin(), arguments.end(), split.begin() + 1, split.end())) {
        __builtin_trap();
    }
    return 0;
}
