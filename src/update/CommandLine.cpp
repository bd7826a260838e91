#include "update/CommandLine.h"

namespace zn {

std::string BuildCommandLine(std::string_view program, const std::vector<std::string>& arguments) {
    std::string line = "\"";
    line += program;
    line += '"';
    for (const std::string& argument : arguments) {
        line += ' ';
        line += argument;
    }
    return line;
}

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (const char c : commandLine) {
        if (c == '"') {
            quoted = !quoted;
            inArgument = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inArgument) {
                arguments.push_back(std::move(current));
                current.clear();
            }
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument) {
        arguments.push_back(std::move(current));
    }
    return arguments;
}

}  // namespace zn
