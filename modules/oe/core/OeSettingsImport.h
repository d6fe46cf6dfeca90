// COeSettingsImport: a stored settings export made ready for import into an identity.
#pragma once
#include <string>
#include <string_view>

// A settings item is stored as a registry file whose keys lie below the backed-up
// identity's Outlook Express key, such as
// "HKEY_CURRENT_USER\Identities\{A}\Software\Microsoft\Outlook Express\5.0\Mail".
// Before it is imported:
// - it is read in any encoding registry files come in (UTF-16LE from Windows, UTF-8, ANSI)
//   and written as UTF-8;
// - every occurrence of the backed-up identifier is replaced by the target identifier
//   (letter case ignored), so that the settings land in the identity chosen for it;
// - every key it names must lie at or below the target identity's key
//   "HKEY_CURRENT_USER\Identities\<target>\Software\Microsoft\Outlook Express", and it
//   may delete no key: a stored file can never change other settings of this machine
//   (drive mappings, other identities).
class COeSettingsImport {
public:
    // Reads `source`, rewrites and checks it as above and writes the result to `output`.
    // False with `error` set when it cannot be read, parsed or written, or names a key
    // outside the target identity's Outlook Express key.
    static bool Prepare(const std::string& source, const std::string& output,
                        const std::string& identifier, const std::string& target,
                        std::string& error);
    // The text of registry-file bytes as UTF-8 (byte-order marks removed).
    static std::string DecodeText(std::string_view bytes);
    // `text` with every occurrence of `from` replaced by `to`, ASCII letter case ignored.
    static std::string ReplaceNoCase(std::string_view text, std::string_view from,
                                     std::string_view to);
    // "" when every key of the registry text lies in the identity's Outlook Express key;
    // else the problem.
    static std::string CheckScope(std::string_view text, const std::string& identifier);
};
