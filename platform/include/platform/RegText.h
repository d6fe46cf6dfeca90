// Text encodings met in registry files: UTF-8, UTF-16LE and Windows-1252, and the
// case folding that makes key and value names compare without regard to case.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

constexpr char32_t REPLACEMENT_CHARACTER = 0xFFFD;

// Decodes the code point at `pos` of `text` and moves `pos` past it. Returns -1 (and
// moves one byte) for an invalid sequence: overlong forms, surrogates and values past
// U+10FFFF are invalid.
int32_t NextCodePoint(std::string_view text, size_t& pos);
bool IsValidUtf8(std::string_view text);
size_t CountCodePoints(std::string_view utf8);  // invalid bytes count one each
void AppendUtf8(std::string& out, char32_t codePoint);

// UTF-16LE bytes to UTF-8. Unpaired surrogates become U+FFFD and an odd last byte is
// dropped. With `stopAtNul` the text ends at the first NUL unit.
std::string Utf16LeToUtf8(const uint8_t* data, size_t size, bool stopAtNul);
// Strict form: false for an odd size or an unpaired surrogate (NUL units are kept).
bool Utf16LeToUtf8Strict(const uint8_t* data, size_t size, std::string& out);
// Appends the UTF-16LE form of valid UTF-8 text (invalid bytes become U+FFFD).
void AppendUtf16Le(std::vector<uint8_t>& out, std::string_view utf8);

// Windows-1252 ("ANSI") to Unicode. The five bytes the code page leaves undefined map
// to the control characters of the same value, as Windows itself converts them.
char32_t Cp1252ToCodePoint(uint8_t byte);
std::string Cp1252ToUtf8(std::string_view ansi);

// The form in which names are compared: letters of ASCII, Latin-1, Latin Extended-A,
// Greek and Cyrillic are upper-cased; everything else stays as it is.
std::string FoldCase(std::string_view utf8);

}  // namespace plat
