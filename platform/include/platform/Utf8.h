// UTF-8: decoding one code point, validation, appending a code point, and Windows-1252
// ("ANSI") texts read into UTF-8. Every reader and writer of the suite's texts (record fields,
// settings files, ".dbx" texts, wildcards, JSON, escaped paths) decodes and encodes here, so
// that invalid input is treated the same way everywhere: an invalid sequence is one byte long,
// and is never merged with what follows it.
//
// Kept in tavplatform, which calls nothing of the system for it, because it is the one library
// that every other part links.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace plat {

constexpr char32_t REPLACEMENT_CHARACTER = 0xFFFD;

// Decodes the code point at `pos` of `text` and moves `pos` past it. Returns -1 (and
// moves one byte) for an invalid sequence: a stray continuation byte, a sequence cut short,
// overlong forms, surrogates and values past U+10FFFF are invalid.
int32_t NextCodePoint(std::string_view text, size_t& pos);
bool IsValidUtf8(std::string_view text);
size_t CountCodePoints(std::string_view utf8);  // invalid bytes count one each
// Appends the UTF-8 form of a code point; surrogates and values past U+10FFFF, which have
// none, become U+FFFD.
void AppendUtf8(std::string& out, char32_t codePoint);

// Windows-1252 ("ANSI") to Unicode. The five bytes the code page leaves undefined map
// to the control characters of the same value, as Windows itself converts them.
char32_t Cp1252ToCodePoint(uint8_t byte);
std::string Cp1252ToUtf8(std::string_view ansi);
// A stored 8-bit text of unknown encoding: valid UTF-8 (plain ASCII included) is kept as it
// is; any other text is read as Windows-1252, so that no byte is lost or replaced.
std::string Utf8OrCp1252ToUtf8(std::string_view text);

}  // namespace plat
