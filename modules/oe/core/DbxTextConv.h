// Conversion of the 8-bit texts of ".dbx" files to the UTF-8 of our interfaces.
#pragma once
#include <cstddef>
#include <string>

// True when the bytes form valid UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF).
bool DbxIsValidUtf8(const char* text, size_t length);

// Texts that are valid UTF-8 (plain ASCII included) are returned as they are; any other
// text is read as Windows-1252, the code page Outlook Express stores on western systems,
// so that no byte is lost or replaced.
std::string DbxTextToUtf8(const char* text, size_t length);

// Windows-1252 to UTF-8, byte by byte. The five bytes the code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the C1 controls of the same value, as Windows
// converts them.
std::string DbxWindows1252ToUtf8(const char* text, size_t length);
