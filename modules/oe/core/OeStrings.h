// Text helpers of the Outlook Express module: letter-case rules for identifiers and keys.
#pragma once
#include <string>
#include <string_view>

// Identity identifiers, job keys, node keys and ".dbx" names compare without regard to
// letter case, as Windows compares them. Only ASCII letters are folded: that covers
// identifiers (GUIDs) and the module's keys, and never merges two distinct non-ASCII names.
char OeFoldChar(char c);
std::string OeLowerAscii(std::string_view text);
bool OeEqualsNoCase(std::string_view a, std::string_view b);
// True when `text` begins with `prefix`, compared over the prefix's length.
bool OeStartsWithNoCase(std::string_view text, std::string_view prefix);

// Orders texts without regard to case; the maps of the engine are keyed with it.
struct COeCaseLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};

// A text made fit to be one part of a file name in a folder of ours: '%', '/' and NUL (and,
// with `escapeDots`, '.') become "%" and two hexadecimal digits. No name taken from a job,
// the settings or a ".dbx" file then leaves the folder, and distinct texts stay distinct
// (an identifier without dots cannot run into the file name that follows it).
std::string OeFileNamePart(std::string_view text, bool escapeDots = false);
// True when a name taken from a stored node may name a file inside a folder of ours: not
// empty, not "." or "..", and without '/' or NUL (so that it never reaches another folder).
bool OeIsPlainFileName(std::string_view name);
