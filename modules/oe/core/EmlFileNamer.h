// CEmlFileNamer: safe, unique file names for messages exported into one folder.
#pragma once
#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <string_view>

// The longest name part taken from a subject, in bytes; the counter and ".eml" still fit
// the 255 bytes a Linux file name may have.
constexpr size_t EML_NAME_MAX_BYTES = 200;

// Names are made from message subjects, which come from the file and may hold anything.
// A name never contains '/', '\', NUL or another control character, never starts with a
// dot (no ".", "..", hidden files) and never names a device on Windows, so an export never
// leaves its folder and can be copied to other systems; the characters Windows forbids
// in names (: * ? " < > |) become '_' too.
class CEmlFileNamer {
public:
    // `taken` tells whether a name is in use in the target folder already (a file there).
    explicit CEmlFileNamer(std::function<bool(const std::string&)> taken)
        : m_taken(std::move(taken)) {}

    // The next free name for a subject: "Subject.eml", then "Subject (2).eml", ... Names
    // handed out before are not given again, compared without regard to case so that the
    // files stay apart on case-insensitive file systems too.
    std::string Next(std::string_view subject);

    // The safe name part of a subject, without extension: UTF-8 kept, forbidden
    // characters replaced, runs of white space made one space, spaces and dots trimmed at
    // both ends, cut to EML_NAME_MAX_BYTES on a character boundary; "message" when nothing
    // is left.
    static std::string SafeBaseName(std::string_view subject);

private:
    std::function<bool(const std::string&)> m_taken;
    std::set<std::string> m_given;  // folded names handed out
};
