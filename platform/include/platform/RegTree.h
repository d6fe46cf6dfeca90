// The settings tree in memory: roots, value types, keys with their values, key paths.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

// The two roots the suite keeps (the numbers are those Windows gives them).
enum RegRoot : uint32_t {
    HKEY_CURRENT_USER = 0x80000001u,
    HKEY_LOCAL_MACHINE = 0x80000002u,
};

// Value types, numbered as in Windows registry files ("hex(n)").
constexpr uint32_t REG_NONE = 0;
constexpr uint32_t REG_SZ = 1;
constexpr uint32_t REG_EXPAND_SZ = 2;
constexpr uint32_t REG_BINARY = 3;
constexpr uint32_t REG_DWORD = 4;
constexpr uint32_t REG_MULTI_SZ = 7;
constexpr uint32_t REG_QWORD = 11;

// Windows' limits, kept so that every stored tree can go back to Windows and so that
// a damaged file cannot nest keys without bound.
constexpr size_t REG_MAX_KEY_NAME = 255;      // characters of one key name
constexpr size_t REG_MAX_VALUE_NAME = 16383;  // characters of one value name
constexpr size_t REG_MAX_DEPTH = 512;         // key names below a root

const char* RootName(RegRoot root);  // "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE"
// Accepts the two names and their short forms "HKCU" and "HKLM", in any case.
bool ParseRootName(std::string_view text, RegRoot& root);

// One value. Data are held as Windows holds them: REG_SZ, REG_EXPAND_SZ and
// REG_MULTI_SZ as UTF-16LE with their terminating NULs, REG_DWORD as 4 bytes
// little-endian, every other type as opaque bytes.
struct RegValue {
    std::string name;  // UTF-8; empty for the key's default value ("@")
    uint32_t type = REG_NONE;
    std::vector<uint8_t> data;
    friend bool operator==(const RegValue&, const RegValue&) = default;
};

// Name checks. Each returns "" when the name is acceptable, else the problem as text.
// A key name is 1..255 characters of UTF-8 without '\', NUL, CR or LF; a value name is
// 0..16383 characters of UTF-8 without NUL, CR or LF.
std::string CheckKeyName(std::string_view name);
std::string CheckValueName(std::string_view name);

// Splits a '\'-separated key path ("Software\Norvik\Tavora") into checked names; an
// empty path gives none and one trailing '\' is allowed. "" or the problem.
std::string SplitKeyPath(std::string_view path, std::vector<std::string>& names);
// Splits a full key ("HKEY_CURRENT_USER\Software\Norvik") into its root and names.
std::string SplitFullKey(std::string_view fullKey, RegRoot& root, std::vector<std::string>& names);
// The full key text: the root's name, then each name after a '\'.
std::string JoinFullKey(RegRoot root, const std::vector<std::string>& names);

// One key: its name in the case of its first creation, its values in the order they
// were first set, its subkeys in the order of their folded names. Names compare
// without regard to case (FoldCase). Lookups are logarithmic, so that a large file
// loads in reasonable time.
class CRegKey {
public:
    using SubKeyMap = std::map<std::string, std::unique_ptr<CRegKey>>;  // by folded name
    using ValueMap = std::map<uint64_t, RegValue>;  // by the order of first setting

    explicit CRegKey(std::string name = std::string());
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;

    const std::string& Name() const { return m_name; }

    const SubKeyMap& SubKeys() const { return m_subKeys; }
    const CRegKey* SubKeyAt(size_t index) const;  // null past the end
    CRegKey* FindSubKey(std::string_view name);
    const CRegKey* FindSubKey(std::string_view name) const;
    CRegKey& CreateSubKey(std::string_view name);  // the existing one when present
    bool DeleteSubKey(std::string_view name);      // with everything below it

    // Walks `names` downward; null when a key is missing.
    CRegKey* Find(const std::vector<std::string>& names);
    const CRegKey* Find(const std::vector<std::string>& names) const;
    CRegKey& Create(const std::vector<std::string>& names);

    const ValueMap& Values() const { return m_values; }
    const RegValue* ValueAt(size_t index) const;  // null past the end
    const RegValue* FindValue(std::string_view name) const;
    // Sets the value; an existing value of the same name keeps its place and its
    // stored name.
    void SetValue(RegValue value);
    bool DeleteValue(std::string_view name);

    void Clear();  // removes every value and subkey
    bool Empty() const { return m_values.empty() && m_subKeys.empty(); }
    // Same names, values (in the same order) and subkeys, all the way down.
    bool SameTree(const CRegKey& other) const;

private:
    std::string m_name;
    ValueMap m_values;
    std::map<std::string, uint64_t> m_valueIndex;  // folded name -> key in m_values
    uint64_t m_nextValue = 0;
    SubKeyMap m_subKeys;
};

}  // namespace plat
