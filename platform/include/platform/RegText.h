// Text encodings met in registry files: UTF-16LE (UTF-8 and Windows-1252 are in Utf8.h), and
// the case folding that makes key and value names compare without regard to case.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Utf8.h"

namespace plat {

// UTF-16LE bytes to UTF-8. Unpaired surrogates become U+FFFD and an odd last byte is
// dropped. With `stopAtNul` the text ends at the first NUL unit.
std::string Utf16LeToUtf8(const uint8_t* data, size_t size, bool stopAtNul);
// Strict form: false for an odd size or an unpaired surrogate (NUL units are kept).
bool Utf16LeToUtf8Strict(const uint8_t* data, size_t size, std::string& out);
// Appends the UTF-16LE form of valid UTF-8 text (invalid bytes become U+FFFD).
void AppendUtf16Le(std::vector<uint8_t>& out, std::string_view utf8);

// The form in which names are compared: letters of ASCII, Latin-1, Latin Extended-A,
// Greek and Cyrillic are upper-cased; everything else stays as it is.
std::string FoldCase(std::string_view utf8);

}  // namespace plat
