// Registry files ("REGEDIT4" and "Windows Registry Editor Version 5.00"): parsing them
// into a document of keys and values, applying that document to a tree, and writing a
// tree back. Pure logic without operating-system calls, so that it can be fuzzed.
//
// Reading accepts what registry editors write and people edit by hand:
// - text in UTF-16LE with its byte-order mark (or without one), UTF-8 with or without
//   its mark, or ANSI, read as Windows-1252 (text that is not valid UTF-8 is ANSI);
// - the header line "Windows Registry Editor Version 5.00" or "REGEDIT4";
// - "[full key]" and "[-full key]" (delete the key and everything below it); the root is
//   HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE (or HKCU, HKLM);
// - "name"=... and @=... (the default value) with "text" (escapes \\ and \"; any other
//   backslash is kept as it is), dword:1f, hex:..., hex(n):... and - (delete the value);
// - hex data continued on the next line by a trailing backslash;
// - comment lines starting with ';', blank lines, CR LF or LF line ends.
// In a "REGEDIT4" file the data of hex(1), hex(2) and hex(7) are ANSI text; they are
// converted to the UTF-16LE that version 5 files carry and the tree holds.
//
// A malformed line makes the whole parse fail: the error names the source and the
// line ("user.reg: line 12: unterminated string") and nothing is kept, so that an
// import of a damaged file changes nothing.
//
// Writing produces "Windows Registry Editor Version 5.00" in UTF-8 (not the UTF-16LE of
// Windows' own editor: both read back the same, and UTF-8 suits Linux tools): one
// "[key]" line per key, "name"="text" for plain text, dword:%08x, hex(2): and hex(7):
// with UTF-16LE bytes, hex: and hex(n): for the rest, wrapped at 80 columns.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/RegTree.h"

namespace plat {

constexpr std::string_view REG_HEADER_V5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view REG_HEADER_V4 = "REGEDIT4";
// Files larger than this are refused before they are read.
constexpr uint64_t REG_FILE_MAX_SIZE = 64ull << 20;

// One value line: set `value`, or delete the value of that name when `remove`.
struct RegFileEntry {
    uint32_t line = 0;
    bool remove = false;
    RegValue value;
};

// One "[key]" or "[-key]" line with the value lines below it.
struct RegFileSection {
    uint32_t line = 0;
    RegRoot root = HKEY_CURRENT_USER;
    std::vector<std::string> names;  // below the root
    bool remove = false;
    std::vector<RegFileEntry> entries;
};

struct RegFileDocument {
    bool regedit4 = false;  // the "REGEDIT4" header
    std::vector<RegFileSection> sections;
};

// Parses the bytes of a registry file. False on the first malformed line, with
// `error` = sourceName + ": line N: " + the problem, and `doc` empty.
bool ParseRegFile(std::string_view bytes, std::string_view sourceName, RegFileDocument& doc,
                  std::string& error);

// Applies the sections of `doc` that belong to `root` to `tree`, the root's key, in
// file order: keys are created (with the missing keys above them), deleted keys go with
// everything below them, values are set or deleted.
void ApplyRegFile(const RegFileDocument& doc, RegRoot root, CRegKey& tree);
bool DocumentTouchesRoot(const RegFileDocument& doc, RegRoot root);

// The whole text of a registry file holding `key`, named `fullKey`
// ("HKEY_CURRENT_USER\Software\Norvik"), and every key below it.
std::string WriteRegFile(const CRegKey& key, std::string_view fullKey,
                         std::string_view lineEnd = "\r\n");
// One value line ("name"=...) without its line end; long hex data are continued on
// further lines, each ended by `lineEnd`.
std::string FormatRegValue(const RegValue& value, std::string_view lineEnd = "\r\n");

}  // namespace plat
