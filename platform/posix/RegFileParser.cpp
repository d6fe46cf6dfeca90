// Parsing registry files into a document, and applying a document to a tree.
// Pure logic: no operating-system calls (the fuzz target builds this file alone).
#include <utility>

#include "platform/RegFile.h"
#include "platform/RegText.h"

namespace plat {

namespace {

// Problems, as the error text names them after "file: line N: ".
constexpr const char* ERR_NO_HEADER =
    "not a registry file (the first line must be \"Windows Registry Editor Version 5.00\" "
    "or \"REGEDIT4\")";
constexpr const char* ERR_ODD_UTF16 = "the UTF-16 text ends in half a character";
constexpr const char* ERR_UTF16_BE = "UTF-16 big-endian text is not supported";
constexpr const char* ERR_KEY_BRACKET = "missing ']' at the end of the key";
constexpr const char* ERR_DELETE_ROOT = "a root key cannot be deleted";
constexpr const char* ERR_VALUE_OUTSIDE = "value outside of a key";
constexpr const char* ERR_VALUE_DELETED = "value under a deleted key";
constexpr const char* ERR_UNTERMINATED = "unterminated string";
constexpr const char* ERR_NO_EQUALS = "missing '=' after the value name";
constexpr const char* ERR_TRAILING = "unexpected text after the value";
constexpr const char* ERR_DWORD = "invalid dword value";
constexpr const char* ERR_HEX_TYPE = "invalid value type in hex(...)";
constexpr const char* ERR_HEX_BYTE = "invalid hex byte";
constexpr const char* ERR_UNKNOWN_DATA = "unknown value data";
constexpr const char* ERR_CONTINUATION = "the value continues past the end of the file";
constexpr const char* ERR_UNEXPECTED = "expected a key, a value or a comment";

struct ParseFailure {
    uint32_t line;
    std::string problem;
};

bool IsBlank(char ch) { return ch == ' ' || ch == '\t'; }

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    return s;
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

int HexDigit(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
}

// Parses 1..8 hex digits (the whole of `s`).
bool ParseHex32(std::string_view s, uint32_t& out) {
    if (s.empty() || s.size() > 8) return false;
    out = 0;
    for (char ch : s) {
        int d = HexDigit(ch);
        if (d < 0) return false;
        out = (out << 4) | uint32_t(d);
    }
    return true;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char a = s[i];
        if (a >= 'A' && a <= 'Z') a = char(a - 'A' + 'a');
        if (a != prefix[i]) return false;
    }
    return true;
}

// The whole file as UTF-8 text (see the header for the encodings recognised).
bool DecodeText(std::string_view bytes, std::string& text, ParseFailure& failure) {
    auto byteAt = [&](size_t i) { return uint8_t(bytes[i]); };
    bool utf16 = false;
    if (bytes.size() >= 2 && byteAt(0) == 0xFF && byteAt(1) == 0xFE) {
        bytes.remove_prefix(2);
        utf16 = true;
    } else if (bytes.size() >= 2 && byteAt(0) == 0xFE && byteAt(1) == 0xFF) {
        failure = {1, ERR_UTF16_BE};
        return false;
    } else if (bytes.size() >= 2 && byteAt(0) != 0 && byteAt(1) == 0) {
        utf16 = true;  // UTF-16LE without its mark: "W\0i\0..." or "R\0E\0..."
    }
    if (utf16) {
        if (bytes.size() % 2 != 0) {
            failure = {1, ERR_ODD_UTF16};
            return false;
        }
        text = Utf16LeToUtf8(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), false);
        return true;
    }
    if (bytes.size() >= 3 && byteAt(0) == 0xEF && byteAt(1) == 0xBB && byteAt(2) == 0xBF) {
        bytes.remove_prefix(3);
    }
    text = IsValidUtf8(bytes) ? std::string(bytes) : Cp1252ToUtf8(bytes);
    return true;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// Reads a quoted string starting at s[pos] == '"'; moves `pos` past the closing quote.
bool ParseQuoted(std::string_view s, size_t& pos, std::string& out) {
    out.clear();
    for (++pos; pos < s.size(); ++pos) {
        char ch = s[pos];
        if (ch == '"') {
            ++pos;
            return true;
        }
        if (ch == '\\' && pos + 1 < s.size() && (s[pos + 1] == '\\' || s[pos + 1] == '"')) {
            ch = s[++pos];
        }
        out.push_back(ch);
    }
    return false;
}

// Comma-separated hex bytes; a trailing comma is allowed.
bool ParseHexBytes(std::string_view s, std::vector<uint8_t>& out) {
    s = TrimLeft(TrimRight(s));
    if (s.empty()) return true;
    size_t start = 0;
    while (true) {
        size_t comma = s.find(',', start);
        std::string_view token = TrimLeft(TrimRight(s.substr(
            start, comma == std::string_view::npos ? std::string_view::npos : comma - start)));
        bool last = comma == std::string_view::npos;
        if (token.empty() && last && start > 0) return true;  // trailing comma
        uint32_t byte;
        if (token.size() > 2 || !ParseHex32(token, byte)) return false;
        out.push_back(uint8_t(byte));
        if (last) return true;
        start = comma + 1;
    }
}

// ANSI bytes of a REGEDIT4 string value to the UTF-16LE of version 5.
std::vector<uint8_t> AnsiToUtf16(const std::vector<uint8_t>& ansi) {
    std::vector<uint8_t> out;
    out.reserve(ansi.size() * 2);
    for (uint8_t byte : ansi) {
        char32_t c = Cp1252ToCodePoint(byte);
        out.push_back(uint8_t(c & 0xFF));
        out.push_back(uint8_t(c >> 8));
    }
    return out;
}

class CParser {
public:
    CParser(std::vector<std::string_view> lines, RegFileDocument& doc)
        : m_lines(std::move(lines)), m_doc(doc) {}

    bool Run(ParseFailure& failure);

private:
    bool Fail(std::string problem) {
        m_failure = {m_lineNo, std::move(problem)};
        return false;
    }
    bool ParseKeyLine(std::string_view line);
    bool ParseValueLine(std::string_view line);
    bool ParseData(std::string_view data, RegFileEntry& entry);
    bool ParseHexData(std::string_view data, RegFileEntry& entry);

    std::vector<std::string_view> m_lines;
    RegFileDocument& m_doc;
    size_t m_index = 0;     // of the line being read
    uint32_t m_lineNo = 1;  // its number, for messages
    ParseFailure m_failure{1, std::string()};
};

bool CParser::Run(ParseFailure& failure) {
    bool header = false;
    for (m_index = 0; m_index < m_lines.size(); ++m_index) {
        m_lineNo = uint32_t(m_index + 1);
        std::string_view line = TrimLeft(TrimRight(m_lines[m_index]));
        if (line.empty()) continue;
        bool ok = true;
        if (!header) {
            if (line == REG_HEADER_V5 || line == REG_HEADER_V4) {
                header = true;
                m_doc.regedit4 = line == REG_HEADER_V4;
            } else {
                ok = Fail(ERR_NO_HEADER);
            }
        } else if (line.front() == ';') {
            continue;
        } else if (line.front() == '[') {
            ok = ParseKeyLine(line);
        } else if (line.front() == '"' || line.front() == '@') {
            ok = ParseValueLine(line);
        } else {
            ok = Fail(ERR_UNEXPECTED);
        }
        if (!ok) {
            failure = m_failure;
            return false;
        }
    }
    if (!header) {
        m_lineNo = 1;
        failure = {1, ERR_NO_HEADER};
        return false;
    }
    return true;
}

bool CParser::ParseKeyLine(std::string_view line) {
    if (line.back() != ']') return Fail(ERR_KEY_BRACKET);
    std::string_view inner = line.substr(1, line.size() - 2);
    RegFileSection section;
    section.line = m_lineNo;
    if (!inner.empty() && inner.front() == '-') {
        section.remove = true;
        inner.remove_prefix(1);
    }
    std::string problem = SplitFullKey(inner, section.root, section.names);
    if (!problem.empty()) return Fail(problem);
    if (section.remove && section.names.empty()) return Fail(ERR_DELETE_ROOT);
    m_doc.sections.push_back(std::move(section));
    return true;
}

bool CParser::ParseValueLine(std::string_view line) {
    if (m_doc.sections.empty()) return Fail(ERR_VALUE_OUTSIDE);
    if (m_doc.sections.back().remove) return Fail(ERR_VALUE_DELETED);
    RegFileEntry entry;
    entry.line = m_lineNo;
    size_t pos = 0;
    if (line.front() == '@') {
        pos = 1;
    } else if (!ParseQuoted(line, pos, entry.value.name)) {
        return Fail(ERR_UNTERMINATED);
    }
    std::string problem = CheckValueName(entry.value.name);
    if (!problem.empty()) return Fail(problem);
    std::string_view rest = TrimLeft(line.substr(pos));
    if (rest.empty() || rest.front() != '=') return Fail(ERR_NO_EQUALS);
    if (!ParseData(TrimLeft(rest.substr(1)), entry)) return false;
    m_doc.sections.back().entries.push_back(std::move(entry));
    return true;
}

bool CParser::ParseData(std::string_view data, RegFileEntry& entry) {
    RegValue& value = entry.value;
    if (!data.empty() && data.front() == '-') {
        if (!TrimLeft(data.substr(1)).empty()) return Fail(ERR_TRAILING);
        entry.remove = true;
        return true;
    }
    if (!data.empty() && data.front() == '"') {
        size_t pos = 0;
        std::string text;
        if (!ParseQuoted(data, pos, text)) return Fail(ERR_UNTERMINATED);
        if (!TrimLeft(data.substr(pos)).empty()) return Fail(ERR_TRAILING);
        value.type = REG_SZ;
        AppendUtf16Le(value.data, text);
        value.data.push_back(0);
        value.data.push_back(0);
        return true;
    }
    if (StartsWithNoCase(data, "dword:")) {
        uint32_t number;
        if (!ParseHex32(TrimLeft(data.substr(6)), number)) return Fail(ERR_DWORD);
        value.type = REG_DWORD;
        for (int i = 0; i < 4; ++i) value.data.push_back(uint8_t(number >> (8 * i)));
        return true;
    }
    if (StartsWithNoCase(data, "hex")) return ParseHexData(data.substr(3), entry);
    return Fail(ERR_UNKNOWN_DATA);
}

bool CParser::ParseHexData(std::string_view data, RegFileEntry& entry) {
    RegValue& value = entry.value;
    value.type = REG_BINARY;
    if (!data.empty() && data.front() == '(') {
        size_t close = data.find(')');
        if (close == std::string_view::npos ||
            !ParseHex32(TrimLeft(TrimRight(data.substr(1, close - 1))), value.type)) {
            return Fail(ERR_HEX_TYPE);
        }
        data.remove_prefix(close + 1);
    }
    if (data.empty() || data.front() != ':') return Fail(ERR_HEX_TYPE);
    data.remove_prefix(1);

    // Gather the continuation lines: each line ending in '\' goes on with the next.
    std::string joined;
    std::string_view part = TrimRight(data);
    while (!part.empty() && part.back() == '\\') {
        joined.append(part.substr(0, part.size() - 1));
        if (m_index + 1 >= m_lines.size()) return Fail(ERR_CONTINUATION);
        ++m_index;
        part = TrimLeft(TrimRight(m_lines[m_index]));
    }
    joined.append(part);
    if (!ParseHexBytes(joined, value.data)) return Fail(ERR_HEX_BYTE);
    bool ansiText =
        value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ;
    if (m_doc.regedit4 && ansiText) value.data = AnsiToUtf16(value.data);
    return true;
}

}  // namespace

bool ParseRegFile(std::string_view bytes, std::string_view sourceName, RegFileDocument& doc,
                  std::string& error) {
    doc = RegFileDocument();
    error.clear();
    ParseFailure failure{1, std::string()};
    std::string text;
    bool ok = DecodeText(bytes, text, failure);
    if (ok) ok = CParser(SplitLines(text), doc).Run(failure);
    if (!ok) {
        doc = RegFileDocument();
        error = std::string(sourceName) + ": line " + std::to_string(failure.line) + ": " +
                failure.problem;
    }
    return ok;
}

bool DocumentTouchesRoot(const RegFileDocument& doc, RegRoot root) {
    for (const RegFileSection& section : doc.sections) {
        if (section.root == root) return true;
    }
    return false;
}

void ApplyRegFile(const RegFileDocument& doc, RegRoot root, CRegKey& tree) {
    for (const RegFileSection& section : doc.sections) {
        if (section.root != root) continue;
        if (section.remove) {
            std::vector<std::string> parent(section.names.begin(), section.names.end() - 1);
            if (CRegKey* key = tree.Find(parent)) key->DeleteSubKey(section.names.back());
            continue;
        }
        CRegKey& key = tree.Create(section.names);
        for (const RegFileEntry& entry : section.entries) {
            if (entry.remove) {
                key.DeleteValue(entry.value.name);
            } else {
                key.SetValue(entry.value);
            }
        }
    }
}

}  // namespace plat
