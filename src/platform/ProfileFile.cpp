#include "platform/ProfileFile.h"

#include <climits>
#include <cstddef>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/Log.h"
#include "platform/ReplacementFile.h"
#include "platform/Utf8.h"

namespace zn {

namespace {

constexpr std::size_t kMaxFileBytes = 1024 * 1024;
// The programs read texts into 260-character buffers.
constexpr std::size_t kMaxTextBytes = 259;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool NamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

bool Contains(std::string_view text, std::string_view anyOf) {
    return text.find_first_of(anyOf) != std::string_view::npos;
}

constexpr std::string_view kLineBreaksAndNul("\r\n\0", 3);

struct Line {
    std::string content;  // without its line end
    std::string end;      // "\r\n", "\n", or empty for a last line without one
};

std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    while (!text.empty()) {
        const auto newline = text.find('\n');
        if (newline == std::string_view::npos) {
            lines.push_back({std::string(text), ""});
            break;
        }
        const bool crlf = newline > 0 && text[newline - 1] == '\r';
        const std::size_t contentEnd = crlf ? newline - 1 : newline;
        lines.push_back({std::string(text.substr(0, contentEnd)), crlf ? "\r\n" : "\n"});
        text.remove_prefix(newline + 1);
    }
    return lines;
}

std::optional<std::string_view> SectionName(std::string_view line) {
    const std::string_view text = Trim(line);
    if (!text.starts_with('[')) {
        return std::nullopt;
    }
    const auto close = text.find(']');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return Trim(text.substr(1, close - 1));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> KeyLineOf(std::string_view line) {
    const std::string_view text = Trim(line);
    const auto equals = text.find('=');
    if (text.empty() || text.front() == ';' || text.front() == '[' ||
        equals == std::string_view::npos) {
        return std::nullopt;
    }
    return KeyLine{Trim(text.substr(0, equals)), Trim(text.substr(equals + 1))};
}

std::string_view Unquoted(std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

std::string CutText(std::string_view text) {
    return std::string(Utf8::Cut(text, kMaxTextBytes));
}

int LeadingNumber(std::string_view value) {
    std::size_t i = 0;
    while (i < value.size() && IsBlank(value[i])) {
        ++i;
    }
    long long number = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        number = number * 10 + (value[i] - '0');
        if (number >= INT_MAX) {
            return INT_MAX;
        }
    }
    return static_cast<int>(number);
}

bool IsStorable(std::string_view section, std::string_view key, std::string_view value) {
    const std::string_view trimmedKey = Trim(key);
    return !Trim(section).empty() && !Contains(section, kLineBreaksAndNul) &&
           !Contains(section, "]") && !trimmedKey.empty() && !Contains(key, kLineBreaksAndNul) &&
           !Contains(key, "=") && trimmedKey.front() != '[' && trimmedKey.front() != ';' &&
           !Contains(value, kLineBreaksAndNul);
}

// Missing and unusable files hold no keys; an unusable one is never rewritten.
CappedFileContent ReadProfileText(const std::filesystem::path& file) {
    auto content = ReadFileCapped(file, kMaxFileBytes);
    // NUL never occurs in a text file: this is a binary or UTF-16 file.
    if (content.status == FileReadStatus::Read && content.bytes.find('\0') != std::string::npos) {
        return {FileReadStatus::Unusable, {}};
    }
    return content;
}

}  // namespace

std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key) {
    bool inSection = false;
    for (const auto& line : SplitLines(text)) {
        if (const auto name = SectionName(line.content)) {
            inSection = NamesEqual(*name, Trim(section));
            continue;
        }
        if (!inSection) {
            continue;
        }
        if (const auto entry = KeyLineOf(line.content);
            entry && NamesEqual(entry->key, Trim(key))) {
            return std::string(Unquoted(entry->value));
        }
    }
    return std::nullopt;
}

std::optional<std::string> SetProfileValue(std::string_view text, std::string_view section,
                                           std::string_view key, std::string_view value) {
    if (!IsStorable(section, key, value)) {
        return std::nullopt;
    }
    section = Trim(section);
    key = Trim(key);
    auto lines = SplitLines(text);
    const std::string eol =
        (!lines.empty() && !lines.front().end.empty()) ? lines.front().end : "\n";

    std::optional<std::size_t> keyLine;
    std::optional<std::size_t> firstSection;
    std::size_t insertAfter = 0;  // last non-blank line of the first matching section
    bool inSection = false;
    bool inFirstSection = false;
    for (std::size_t i = 0; i < lines.size() && !keyLine; ++i) {
        if (const auto name = SectionName(lines[i].content)) {
            inSection = NamesEqual(*name, section);
            if (inSection && !firstSection) {
                firstSection = i;
                insertAfter = i;
            }
            inFirstSection = inSection && firstSection == i;
            continue;
        }
        if (!inSection) {
            continue;
        }
        if (const auto entry = KeyLineOf(lines[i].content); entry && NamesEqual(entry->key, key)) {
            keyLine = i;
        } else if (inFirstSection && !Trim(lines[i].content).empty()) {
            insertAfter = i;
        }
    }

    if (keyLine) {
        const std::string storedKey(KeyLineOf(lines[*keyLine].content)->key);
        lines[*keyLine].content = storedKey + "=" + std::string(value);
    } else {
        const std::string newLine = std::string(key) + "=" + std::string(value);
        std::size_t insertAt = insertAfter + 1;
        if (!firstSection) {
            if (!lines.empty() && lines.back().end.empty()) {
                lines.back().end = eol;
            }
            lines.push_back({"[" + std::string(section) + "]", eol});
            insertAt = lines.size();
        }
        if (lines[insertAt - 1].end.empty()) {
            lines[insertAt - 1].end = eol;
        }
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), {newLine, eol});
    }

    std::string updated;
    for (const auto& line : lines) {
        updated += line.content;
        updated += line.end;
    }
    return updated;
}

ProfileFile::ProfileFile(std::filesystem::path path) : m_path(std::move(path)) {}

int ProfileFile::GetInt(std::string_view section, std::string_view key, int defaultValue) const {
    const auto value = FindProfileValue(ReadProfileText(m_path).bytes, section, key);
    return value ? LeadingNumber(*value) : defaultValue;
}

std::string ProfileFile::GetString(std::string_view section, std::string_view key,
                                   std::string_view defaultValue) const {
    const auto value = FindProfileValue(ReadProfileText(m_path).bytes, section, key);
    return CutText(value ? std::string_view(*value) : defaultValue);
}

bool ProfileFile::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) const {
    const auto lock = FileLock::OnFolder(FolderOfFile(m_path));
    if (!lock) {
        return false;
    }
    const auto content = ReadProfileText(m_path);
    if (content.status == FileReadStatus::Unusable) {
        return false;
    }
    const auto updated = SetProfileValue(content.bytes, section, key, value);
    if (!updated || updated->size() > kMaxFileBytes) {
        return false;
    }
    const auto replaced = ReplaceFileSafely(m_path, *updated);
    if (!replaced) {
        log::Error("Cannot save the settings: {}", replaced.failure);
    }
    return static_cast<bool>(replaced);
}

}  // namespace zn
