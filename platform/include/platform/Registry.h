// CRegistry: the suite's settings store, kept in registry files (the design's registry).
//
// Each root lives in one file under the settings folder (RegistryFolder):
// HKEY_CURRENT_USER in "user.reg", HKEY_LOCAL_MACHINE in "machine.reg". The files are in
// the "Windows Registry Editor Version 5.00" format, in UTF-8 (see RegFile.h), so that
// they can be read, edited and moved to and from Windows. Every change rewrites its
// file atomically under a named lock, after re-reading it when another process changed
// it, so that processes see each other's changes and none is lost. A settings file that
// cannot be parsed is never overwritten: every access to its root fails, and ErrorText
// names the file, the line and the problem.
//
// Key and value names compare without regard to case, as in Windows; a key keeps the
// case of its first creation.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/RegTree.h"

namespace plat {

// Error codes of the store beyond SysError.h (Win32 numbers).
constexpr uint32_t ERR_NO_MORE_ITEMS = 259;      // enumeration past the last item
constexpr uint32_t ERR_REGISTRY_CORRUPT = 1015;  // a settings or import file is malformed
constexpr uint32_t ERR_KEY_DELETED = 1018;       // the open key was deleted meanwhile

// $TAVORA_HOME, else $XDG_CONFIG_HOME/tavora, else ~/.config/tavora (absolute).
std::string RegistryFolder();
std::string RegistryFilePath(RegRoot root);  // the folder + "/user.reg" or "/machine.reg"

// One open key. Every operation reports failure by false, with LastError (also the
// thread's last error) and ErrorText telling why. Copies refer to the same key.
class CRegistry {
public:
    CRegistry() = default;

    // Opens `subKey` ("Software\Norvik\Tavora"; empty for the root itself) below
    // `root`. With `create`, missing keys are made; without it a missing key fails with
    // ERR_FILE_NOT_FOUND. Closes the key that was open before.
    bool Open(RegRoot root, std::string_view subKey, bool create = true);
    // The same with a full key ("HKEY_CURRENT_USER\Software\Norvik", or "HKCU\...").
    bool OpenKey(std::string_view fullKey, bool create = false);
    void Close();
    bool IsOpen() const { return m_open; }
    RegRoot Root() const { return m_root; }
    // The full path of the open key in the case it is stored in, as registry files and
    // ExportKey take it: "HKEY_CURRENT_USER\Software\Norvik\Tavora". Empty when closed.
    std::string GetCurrentKey() const;

    // Text of a REG_SZ or REG_EXPAND_SZ value (not expanded; see EnvExpand.h), up to its
    // first NUL. Fails for a missing value or another type.
    bool ReadString(std::string_view name, std::string& value) const;
    bool ReadNumber(std::string_view name, uint32_t& value) const;  // REG_DWORD
    bool ReadMultiString(std::string_view name, std::vector<std::string>& values) const;
    // The value's bytes as stored (text in UTF-16LE), of any type.
    bool ReadBinary(std::string_view name, std::vector<uint8_t>& data,
                    uint32_t* type = nullptr) const;

    // `type` is REG_SZ or REG_EXPAND_SZ; the text must be UTF-8 without NUL characters.
    bool WriteString(std::string_view name, std::string_view value, uint32_t type = REG_SZ);
    bool WriteNumber(std::string_view name, uint32_t value);  // REG_DWORD
    // Each string UTF-8 without NUL characters; an empty string ends the list on
    // Windows, so none may be empty.
    bool WriteMultiString(std::string_view name, const std::vector<std::string>& values);
    bool WriteBinary(std::string_view name, const std::vector<uint8_t>& data,
                     uint32_t type = REG_BINARY);
    bool DeleteValue(std::string_view name);  // false with ERR_FILE_NOT_FOUND when missing

    // The index-th subkey (in the order of their names, without regard to case) or
    // value (in the order they were first set); false past the last one.
    bool EnumKey(uint32_t index, std::string& name) const;
    bool EnumValue(uint32_t index, std::string& name, uint32_t* type = nullptr) const;
    // Deletes `subKey` (a path below the open key) with everything below it.
    bool DeleteKey(std::string_view subKey);

    uint32_t LastError() const { return m_error; }
    const std::string& ErrorText() const { return m_errorText; }

    // Writes `fullKey` and everything below it to `file` as a registry file (the
    // design's "regedit /e"). The file is replaced atomically; on failure (a missing
    // key included) it is left as it was. `error` tells why.
    static bool ExportKey(std::string_view fullKey, const std::string& file, std::string& error);
    // Applies a registry file to the store (the design's "regedit /s"). The whole file is
    // parsed first: a malformed line fails the import and changes nothing.
    static bool ImportFile(const std::string& file, std::string& error);

private:
    bool Fail(uint32_t code, std::string text) const;
    bool Succeed() const;
    // Reads or changes the open key; `fn` gets it and returns an error code.
    template <typename Fn>
    bool ReadKey(Fn fn) const;
    template <typename Fn>
    bool ChangeKey(Fn fn);
    bool SetValue(std::string_view name, uint32_t type, std::vector<uint8_t> data);

    bool m_open = false;
    RegRoot m_root = HKEY_CURRENT_USER;
    std::vector<std::string> m_names;  // below the root, in their stored case
    mutable uint32_t m_error = 0;
    mutable std::string m_errorText;
};

}  // namespace plat
