#include "console/StateFileFields.h"

#include <time.h>

namespace zn::console {

namespace {

void AppendEscaped(std::string& line, std::string_view field) {
    for (const char c : field) {
        switch (c) {
            case '\\':
                line += "\\\\";
                break;
            case '\t':
                line += "\\t";
                break;
            case '\n':
                line += "\\n";
                break;
            case '\r':
                line += "\\r";
                break;
            default:
                line += c;
        }
    }
}

tm LocalTime(std::chrono::system_clock::time_point when) {
    const time_t seconds = std::chrono::system_clock::to_time_t(when);
    tm local{};
    localtime_r(&seconds, &local);
    return local;
}

std::string Unescape(std::string_view field) {
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            text += field[i];
            continue;
        }
        const char next = field[++i];
        text += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return text;
}

}  // namespace

std::string JoinFields(std::initializer_list<std::string_view> fields) {
    std::string line;
    bool first = true;
    for (const std::string_view field : fields) {
        if (!first) {
            line += '\t';
        }
        first = false;
        AppendEscaped(line, field);
    }
    return line;
}

std::vector<std::string> SplitFields(std::string_view line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab = line.find('\t'); tab != std::string_view::npos;
         start = tab + 1, tab = line.find('\t', start)) {
        fields.push_back(Unescape(line.substr(start, tab - start)));
    }
    fields.push_back(Unescape(line.substr(start)));
    return fields;
}

std::string LocalDay(std::chrono::system_clock::time_point when) {
    const tm local = LocalTime(when);
    char text[32] = {};
    strftime(text, sizeof text, "%F", &local);
    return text;
}

std::string LocalClockTime(std::chrono::system_clock::time_point when) {
    const tm local = LocalTime(when);
    char text[32] = {};
    strftime(text, sizeof text, "%T", &local);
    return text;
}

}  // namespace zn::console
