#include "platform/RegFormat.h"

#include <cstdio>
#include <optional>
#include <unordered_map>
#include <utility>

namespace zn {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

char FoldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Folded(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) {
        c = FoldCase(c);
    }
    return folded;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimLeft(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    return text;
}

std::string_view TrimRight(std::string_view text) {
    while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && RegNamesEqual(text.substr(0, prefix.size()), prefix);
}

// Physical lines without their line end or trailing blanks.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        lines.push_back(TrimRight(text.substr(0, end)));
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return lines;
}

// Reads a quoted text at the start of `in` and moves `in` past its closing quote. Only the two
// escapes of the export format are known; anything else is not understood.
std::optional<std::string> ReadQuoted(std::string_view& in) {
    if (in.empty() || in.front() != '"') {
        return std::nullopt;
    }
    std::string text;
    std::size_t i = 1;
    while (true) {
        const auto special = in.find_first_of("\\\"", i);
        if (special == std::string_view::npos) {
            return std::nullopt;
        }
        text.append(in.substr(i, special - i));
        if (in[special] == '"') {
            in.remove_prefix(special + 1);
            return text;
        }
        if (special + 1 >= in.size() || (in[special + 1] != '\\' && in[special + 1] != '"')) {
            return std::nullopt;
        }
        text += in[special + 1];
        i = special + 2;
    }
}

std::string Quoted(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            quoted += '\\';
        }
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::optional<std::uint32_t> ParseDword(std::string_view digits) {
    if (digits.empty() || digits.size() > 8) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (const char c : digits) {
        const char lower = FoldCase(c);
        std::uint32_t digit = 0;
        if (lower >= '0' && lower <= '9') {
            digit = static_cast<std::uint32_t>(lower - '0');
        } else if (lower >= 'a' && lower <= 'f') {
            digit = static_cast<std::uint32_t>(lower - 'a' + 10);
        } else {
            return std::nullopt;
        }
        value = value * 16 + digit;
    }
    return value;
}

// "hex:", "hex(2):", "hex(b):" and the like: a type the programs never write.
bool IsTypedData(std::string_view data) {
    const auto colon = data.find(':');
    if (colon == std::string_view::npos || colon == 0) {
        return false;
    }
    for (const char c : data.substr(0, colon)) {
        const bool allowed = (c >= '0' && c <= '9') || (FoldCase(c) >= 'a' && FoldCase(c) <= 'z') ||
                             c == '(' || c == ')';
        if (!allowed) {
            return false;
        }
    }
    return true;
}

std::string FormatValueLine(const RegistryValue& value) {
    std::string line = value.name.empty() ? "@" : Quoted(value.name);
    line += '=';
    if (const auto* text = std::get_if<std::string>(&value.data)) {
        line += Quoted(*text);
    } else if (const auto* number = std::get_if<std::uint32_t>(&value.data)) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "dword:%08x", static_cast<unsigned>(*number));
        line += digits;
    } else {
        line += std::get<RegistryRawValue>(value.data).text;
    }
    return line;
}

enum class LineResult { Stored, Ignored, NotUnderstood };

class Parser {
public:
    explicit Parser(std::string_view text) : m_lines(SplitLines(text)) {}

    std::vector<RegKeyEntry> Run(bool& faithful) {
        for (m_next = 0; m_next < m_lines.size();) {
            const std::string_view line = m_lines[m_next++];
            if (ParseLine(line) == LineResult::NotUnderstood) {
                faithful = false;
            }
        }
        return std::move(m_keys);
    }

private:
    LineResult ParseLine(std::string_view line) {
        const std::string_view text = TrimLeft(line);
        if (text.empty() || text.front() == ';' || text == kRegFileHeader) {
            return LineResult::Ignored;
        }
        if (text.front() == '[') {
            return ParseKeyLine(text);
        }
        if (text.front() == '"' || text.front() == '@') {
            return ParseValueLine(text);
        }
        return LineResult::NotUnderstood;
    }

    LineResult ParseKeyLine(std::string_view text) {
        // Values that follow a key line we drop must not land in the key before it.
        m_current.reset();
        if (text.size() > kRegMaxLineBytes || text.back() != ']') {
            return LineResult::NotUnderstood;
        }
        const std::string_view path = text.substr(1, text.size() - 2);
        if (path.starts_with('-')) {
            return LineResult::Ignored;
        }
        if (!RegDocument::IsStorablePath(path)) {
            return LineResult::NotUnderstood;
        }
        auto [it, added] = m_keyIndex.try_emplace(Folded(path), m_keys.size());
        if (added) {
            m_keys.push_back(RegKeyEntry{std::string(path), {}});
            m_valueIndex.emplace_back();
        }
        m_current = it->second;
        return LineResult::Stored;
    }

    LineResult ParseValueLine(std::string_view text) {
        if (text.size() > kRegMaxLineBytes) {
            SkipContinuation(text);
            return LineResult::NotUnderstood;
        }
        std::string name;
        if (text.front() == '@') {
            text.remove_prefix(1);
        } else {
            auto quoted = ReadQuoted(text);
            if (!quoted) {
                return LineResult::NotUnderstood;
            }
            name = std::move(*quoted);
        }
        text = TrimLeft(text);
        if (text.empty() || text.front() != '=') {
            return LineResult::NotUnderstood;
        }
        text = TrimLeft(text.substr(1));
        if (text == "-") {
            return m_current ? LineResult::Ignored : LineResult::NotUnderstood;
        }
        auto data = ParseData(text);
        if (!data || !m_current) {
            return LineResult::NotUnderstood;
        }
        Store(std::move(name), std::move(*data));
        return LineResult::Stored;
    }

    std::optional<RegistryData> ParseData(std::string_view text) {
        if (text.starts_with('"')) {
            auto value = ReadQuoted(text);
            if (!value || !TrimLeft(text).empty()) {
                return std::nullopt;
            }
            return RegistryData{std::move(*value)};
        }
        if (StartsWithNoCase(text, "dword:")) {
            if (auto number = ParseDword(text.substr(6))) {
                return RegistryData{*number};
            }
            return std::nullopt;
        }
        if (!IsTypedData(text)) {
            return std::nullopt;
        }
        std::string raw(text);
        while (raw.back() == '\\') {
            // A continuation that runs off the end would swallow whatever a rewrite puts next.
            if (m_next >= m_lines.size()) {
                return std::nullopt;
            }
            const std::string_view next = m_lines[m_next++];
            if (next.size() > kRegMaxLineBytes) {
                SkipContinuation(next);
                return std::nullopt;
            }
            raw += '\n';
            raw += next;
        }
        return RegistryData{RegistryRawValue{std::move(raw)}};
    }

    void SkipContinuation(std::string_view line) {
        while (!line.empty() && line.back() == '\\' && m_next < m_lines.size()) {
            line = m_lines[m_next++];
        }
    }

    void Store(std::string name, RegistryData data) {
        auto& values = m_keys[*m_current].values;
        auto [it, added] = m_valueIndex[*m_current].try_emplace(Folded(name), values.size());
        if (added) {
            values.push_back(RegistryValue{std::move(name), std::move(data)});
        } else {
            values[it->second].data = std::move(data);  // a later line wins, as on import
        }
    }

    std::vector<std::string_view> m_lines;
    std::size_t m_next = 0;
    std::vector<RegKeyEntry> m_keys;
    std::unordered_map<std::string, std::size_t> m_keyIndex;
    std::vector<std::unordered_map<std::string, std::size_t>> m_valueIndex;
    std::optional<std::size_t> m_current;
};

bool IsPathPrefix(std::string_view path, std::string_view prefix) {
    return path.size() > prefix.size() && path[prefix.size()] == '\\' &&
           RegNamesEqual(path.substr(0, prefix.size()), prefix);
}

}  // namespace

bool RegNamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i])) {
            return false;
        }
    }
    return true;
}

RegDocument RegDocument::Parse(std::string_view text) {
    RegDocument document;
    // NUL never occurs in UTF-8 text: this is a binary or UTF-16 file.
    if (text.find('\0') != std::string_view::npos) {
        document.m_faithful = false;
        return document;
    }
    if (text.starts_with(kUtf8Bom)) {
        text.remove_prefix(kUtf8Bom.size());
    }
    document.m_keys = Parser(text).Run(document.m_faithful);
    return document;
}

std::string RegDocument::Format() const {
    std::string text(kRegFileHeader);
    text += '\n';
    for (const auto& key : m_keys) {
        text += "\n[";
        text += key.path;
        text += "]\n";
        for (const auto& value : key.values) {
            text += FormatValueLine(value);
            text += '\n';
        }
    }
    return text;
}

const RegKeyEntry* RegDocument::FindKey(std::string_view path) const {
    for (const auto& key : m_keys) {
        if (RegNamesEqual(key.path, path)) {
            return &key;
        }
    }
    return nullptr;
}

RegKeyEntry* RegDocument::FindKeyEntry(std::string_view path) {
    return const_cast<RegKeyEntry*>(std::as_const(*this).FindKey(path));
}

bool RegDocument::KeyExists(std::string_view path) const {
    for (const auto& key : m_keys) {
        if (RegNamesEqual(key.path, path) || IsPathPrefix(key.path, path)) {
            return true;
        }
    }
    return false;
}

const RegistryValue* RegDocument::FindValue(std::string_view path, std::string_view name) const {
    const RegKeyEntry* key = FindKey(path);
    if (key == nullptr) {
        return nullptr;
    }
    for (const auto& value : key->values) {
        if (RegNamesEqual(value.name, name)) {
            return &value;
        }
    }
    return nullptr;
}

bool RegDocument::IsStorablePath(std::string_view path) {
    if (path.empty() || path.size() + 2 > kRegMaxLineBytes || path.front() == '-' ||
        path.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
        return false;
    }
    while (true) {
        const auto separator = path.find('\\');
        const auto name = path.substr(0, separator);
        if (name.empty() || name.size() > kRegMaxKeyNameBytes) {
            return false;
        }
        if (separator == std::string_view::npos) {
            return true;
        }
        path.remove_prefix(separator + 1);
    }
}

bool RegDocument::AddKey(std::string_view path) {
    if (!IsStorablePath(path)) {
        return false;
    }
    if (FindKey(path) == nullptr) {
        m_keys.push_back(RegKeyEntry{std::string(path), {}});
    }
    return true;
}

bool RegDocument::SetValue(std::string_view path, RegistryValue value) {
    if (!IsStorablePath(path) || value.name.size() > kRegMaxValueNameBytes) {
        return false;
    }
    // A value is storable when its line reads back as exactly this value. A lone CR would read
    // back here but breaks the line for other readers of the format.
    const std::string line = FormatValueLine(value);
    if (line.find('\r') != std::string::npos) {
        return false;
    }
    const RegDocument probe = Parse("[K]\n" + line + '\n');
    if (!probe.Faithful() || probe.m_keys.size() != 1 || probe.m_keys[0].values.size() != 1 ||
        probe.m_keys[0].values[0].name != value.name ||
        probe.m_keys[0].values[0].data != value.data) {
        return false;
    }
    RegKeyEntry* key = FindKeyEntry(path);
    if (key == nullptr) {
        m_keys.push_back(RegKeyEntry{std::string(path), {std::move(value)}});
        return true;
    }
    for (auto& stored : key->values) {
        if (RegNamesEqual(stored.name, value.name)) {
            stored.data = std::move(value.data);
            return true;
        }
    }
    key->values.push_back(std::move(value));
    return true;
}

bool RegDocument::DeleteValue(std::string_view path, std::string_view name) {
    RegKeyEntry* key = FindKeyEntry(path);
    if (key == nullptr) {
        return false;
    }
    for (auto it = key->values.begin(); it != key->values.end(); ++it) {
        if (RegNamesEqual(it->name, name)) {
            key->values.erase(it);
            return true;
        }
    }
    return false;
}

}  // namespace zn
