// Case-insensitive comparison and search of the viewer's UTF-8 texts.
#pragma once
#include <string>
#include <string_view>

// The text with every letter that has a simple lower-case form lowered: ASCII, Latin-1,
// Latin Extended-A, Greek and Cyrillic, which covers the code pages Outlook Express
// stores. Bytes that are not valid UTF-8 are read as Windows-1252 first, so the result is
// always valid UTF-8 and folded texts compare code point by code point as bytes.
std::string DbxFoldCase(std::string_view text);

// Compares two texts without regard to case: < 0, 0 or > 0.
int DbxCompareNoCase(std::string_view a, std::string_view b);

// A text to look for, folded once and searched for in many texts.
class CDbxFoldedNeedle {
public:
    explicit CDbxFoldedNeedle(std::string_view needle) : m_folded(DbxFoldCase(needle)) {}

    // True when the needle occurs in `haystack` without regard to case (an empty needle
    // occurs everywhere).
    bool FoundIn(std::string_view haystack) const;
    const std::string& Folded() const { return m_folded; }

private:
    std::string m_folded;
};
