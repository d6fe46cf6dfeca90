// Writing a tree as a "Windows Registry Editor Version 5.00" file in UTF-8.
// Pure logic: no operating-system calls.
#include <cstdio>

#include "platform/RegFile.h"
#include "platform/RegText.h"

namespace plat {

namespace {

constexpr size_t LINE_WIDTH = 80;  // hex data are wrapped to lines of at most this
constexpr std::string_view CONTINUATION_INDENT = "  ";

void AppendQuoted(std::string& out, std::string_view text) {
    out.push_back('"');
    for (char ch : text) {
        if (ch == '\\' || ch == '"') out.push_back('\\');
        out.push_back(ch);
    }
    out.push_back('"');
}

// The text of a REG_SZ value when it can be written as "text": UTF-16LE ending in one
// NUL, no other NUL, no line breaks and no unpaired surrogates. Anything else goes out
// as hex(1) so that it reads back byte for byte.
bool PlainText(const RegValue& value, std::string& text) {
    const std::vector<uint8_t>& d = value.data;
    if (value.type != REG_SZ || d.size() < 2 || d.size() % 2 != 0) return false;
    if (d[d.size() - 2] != 0 || d[d.size() - 1] != 0) return false;
    if (!Utf16LeToUtf8Strict(d.data(), d.size() - 2, text)) return false;
    return text.find_first_of(std::string_view("\0\r\n", 3)) == std::string::npos;
}

void AppendHexData(std::string& out, size_t lineStart, const std::vector<uint8_t>& data,
                   std::string_view lineEnd) {
    static constexpr char DIGITS[] = "0123456789abcdef";
    size_t column = out.size() - lineStart;
    for (size_t i = 0; i < data.size(); ++i) {
        size_t tokenSize = i + 1 < data.size() ? 3 : 2;  // "xx," or the last "xx"
        // Room for the token and a continuation backslash after it.
        if (column + tokenSize + 1 > LINE_WIDTH && column > CONTINUATION_INDENT.size()) {
            out += '\\';
            out += lineEnd;
            out += CONTINUATION_INDENT;
            column = CONTINUATION_INDENT.size();
        }
        out.push_back(DIGITS[data[i] >> 4]);
        out.push_back(DIGITS[data[i] & 0xF]);
        if (i + 1 < data.size()) out.push_back(',');
        column += tokenSize;
    }
}

void WriteKey(std::string& out, const CRegKey& key, const std::string& fullKey,
              std::string_view lineEnd) {
    out += '[';
    out += fullKey;
    out += ']';
    out += lineEnd;
    for (const auto& [order, value] : key.Values()) {
        out += FormatRegValue(value, lineEnd);
        out += lineEnd;
    }
    out += lineEnd;
    for (const auto& [folded, sub] : key.SubKeys()) {
        WriteKey(out, *sub, fullKey + '\\' + sub->Name(), lineEnd);
    }
}

}  // namespace

std::string FormatRegValue(const RegValue& value, std::string_view lineEnd) {
    std::string out;
    if (value.name.empty()) {
        out.push_back('@');
    } else {
        AppendQuoted(out, value.name);
    }
    out += '=';
    std::string text;
    if (PlainText(value, text)) {
        AppendQuoted(out, text);
        return out;
    }
    if (value.type == REG_DWORD && value.data.size() == 4) {
        uint32_t number = uint32_t(value.data[0]) | uint32_t(value.data[1]) << 8 |
                          uint32_t(value.data[2]) << 16 | uint32_t(value.data[3]) << 24;
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "dword:%08x", number);
        out += buffer;
        return out;
    }
    if (value.type == REG_BINARY) {
        out += "hex:";
    } else {
        char buffer[24];
        std::snprintf(buffer, sizeof buffer, "hex(%x):", value.type);
        out += buffer;
    }
    AppendHexData(out, 0, value.data, lineEnd);
    return out;
}

std::string WriteRegFile(const CRegKey& key, std::string_view fullKey, std::string_view lineEnd) {
    std::string out(REG_HEADER_V5);
    out += lineEnd;
    out += lineEnd;
    WriteKey(out, key, std::string(fullKey), lineEnd);
    return out;
}

}  // namespace plat
