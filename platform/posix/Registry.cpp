// CRegistry: open keys of the settings store and their values.
#include "platform/Registry.h"

#include "RegStore.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/RegFile.h"
#include "platform/RegText.h"
#include "platform/SysError.h"

namespace plat {

namespace {

constexpr const char* USER_FILE = "user.reg";
constexpr const char* MACHINE_FILE = "machine.reg";
constexpr const char* TAVORA_SUBFOLDER = "tavora";

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::vector<uint8_t> TextData(std::string_view text) {
    std::vector<uint8_t> data;
    AppendUtf16Le(data, text);
    data.push_back(0);
    data.push_back(0);
    return data;
}

// The problem with a text that goes into a value, or "".
std::string CheckText(std::string_view text) {
    if (!IsValidUtf8(text)) return "the text is not valid UTF-8";
    if (text.find('\0') != std::string_view::npos) return "the text holds a NUL character";
    return std::string();
}

// The stored names of the keys along `names` (which must exist below `root`).
std::vector<std::string> StoredNames(const CRegKey& root, const std::vector<std::string>& names) {
    std::vector<std::string> stored;
    const CRegKey* key = &root;
    for (const std::string& name : names) {
        key = key->FindSubKey(name);
        stored.push_back(key->Name());
    }
    return stored;
}

}  // namespace

std::string RegistryFolder() {
    std::string dir;
    std::optional<std::string> home = GetEnv("TAVORA_HOME");
    std::optional<std::string> xdg = GetEnv("XDG_CONFIG_HOME");
    if (home && !home->empty()) {
        dir = *home;
    } else if (xdg && !xdg->empty() && xdg->front() == '/') {  // relative ones are ignored
        dir = JoinPath(*xdg, TAVORA_SUBFOLDER);
    } else {
        dir = JoinPath(JoinPath(HomeDirectory(), ".config"), TAVORA_SUBFOLDER);
    }
    return AbsolutePath(dir);
}

std::string RegistryFilePath(RegRoot root) {
    return JoinPath(RegistryFolder(), root == HKEY_LOCAL_MACHINE ? MACHINE_FILE : USER_FILE);
}

bool CRegistry::Fail(uint32_t code, std::string text) const {
    m_error = code;
    m_errorText = std::move(text);
    SetLastError(code);
    return false;
}

bool CRegistry::Succeed() const {
    m_error = ERR_NONE;
    m_errorText.clear();
    return true;
}

template <typename Fn>
bool CRegistry::ReadKey(Fn fn) const {
    if (!m_open) return Fail(ERR_INVALID_PARAMETER, "no key is open");
    std::string problem;
    RegStatus status = CRegStore::ForRoot(m_root).Read([&](const CRegKey& root) -> uint32_t {
        const CRegKey* key = root.Find(m_names);
        if (key == nullptr) {
            problem = "the key was deleted";
            return ERR_KEY_DELETED;
        }
        return fn(*key, problem);
    });
    if (status.Ok()) return Succeed();
    return Fail(status.code, status.text.empty() ? GetCurrentKey() + ": " + problem : status.text);
}

template <typename Fn>
bool CRegistry::ChangeKey(Fn fn) {
    if (!m_open) return Fail(ERR_INVALID_PARAMETER, "no key is open");
    std::string problem;
    RegStatus status = CRegStore::ForRoot(m_root).Change([&](CRegKey& root) -> uint32_t {
        CRegKey* key = root.Find(m_names);
        if (key == nullptr) {
            problem = "the key was deleted";
            return ERR_KEY_DELETED;
        }
        return fn(*key, problem);
    });
    if (status.Ok()) return Succeed();
    return Fail(status.code, status.text.empty() ? GetCurrentKey() + ": " + problem : status.text);
}

bool CRegistry::Open(RegRoot root, std::string_view subKey, bool create) {
    Close();
    std::vector<std::string> names;
    std::string problem = SplitKeyPath(subKey, names);
    if (!problem.empty()) return Fail(ERR_INVALID_PARAMETER, Quoted(subKey) + ": " + problem);

    std::vector<std::string> stored;
    bool found = false;
    CRegStore& store = CRegStore::ForRoot(root);
    RegStatus status = store.Read([&](const CRegKey& tree) -> uint32_t {
        found = tree.Find(names) != nullptr;
        if (found) stored = StoredNames(tree, names);
        return ERR_NONE;
    });
    if (status.Ok() && !found) {
        if (!create) {
            return Fail(ERR_FILE_NOT_FOUND, JoinFullKey(root, names) + ": no such key");
        }
        status = store.Change([&](CRegKey& tree) -> uint32_t {
            bool existed = tree.Find(names) != nullptr;  // made meanwhile by another
            tree.Create(names);
            stored = StoredNames(tree, names);
            return existed ? REG_STORE_UNCHANGED : ERR_NONE;
        });
    }
    if (!status.Ok()) return Fail(status.code, status.text);
    m_open = true;
    m_root = root;
    m_names = std::move(stored);
    return Succeed();
}

bool CRegistry::OpenKey(std::string_view fullKey, bool create) {
    Close();
    RegRoot root;
    std::vector<std::string> names;
    std::string problem = SplitFullKey(fullKey, root, names);
    if (!problem.empty()) return Fail(ERR_INVALID_PARAMETER, Quoted(fullKey) + ": " + problem);
    size_t slash = fullKey.find('\\');
    return Open(root,
                slash == std::string_view::npos ? std::string_view() : fullKey.substr(slash + 1),
                create);
}

void CRegistry::Close() {
    m_open = false;
    m_names.clear();
}

std::string CRegistry::GetCurrentKey() const {
    return m_open ? JoinFullKey(m_root, m_names) : std::string();
}

bool CRegistry::ReadString(std::string_view name, std::string& value) const {
    return ReadKey([&](const CRegKey& key, std::string& problem) -> uint32_t {
        const RegValue* v = key.FindValue(name);
        if (v == nullptr) {
            problem = "no value " + Quoted(name);
            return ERR_FILE_NOT_FOUND;
        }
        if (v->type != REG_SZ && v->type != REG_EXPAND_SZ) {
            problem = "the value " + Quoted(name) + " is not text";
            return ERR_INVALID_PARAMETER;
        }
        value = Utf16LeToUtf8(v->data.data(), v->data.size(), true);
        return ERR_NONE;
    });
}

bool CRegistry::ReadNumber(std::string_view name, uint32_t& value) const {
    return ReadKey([&](const CRegKey& key, std::string& problem) -> uint32_t {
        const RegValue* v = key.FindValue(name);
        if (v == nullptr) {
            problem = "no value " + Quoted(name);
            return ERR_FILE_NOT_FOUND;
        }
        if (v->type != REG_DWORD || v->data.size() != 4) {
            problem = "the value " + Quoted(name) + " is not a number";
            return ERR_INVALID_PARAMETER;
        }
        value = uint32_t(v->data[0]) | uint32_t(v->data[1]) << 8 | uint32_t(v->data[2]) << 16 |
                uint32_t(v->data[3]) << 24;
        return ERR_NONE;
    });
}

bool CRegistry::ReadMultiString(std::string_view name, std::vector<std::string>& values) const {
    return ReadKey([&](const CRegKey& key, std::string& problem) -> uint32_t {
        const RegValue* v = key.FindValue(name);
        if (v == nullptr) {
            problem = "no value " + Quoted(name);
            return ERR_FILE_NOT_FOUND;
        }
        if (v->type != REG_MULTI_SZ) {
            problem = "the value " + Quoted(name) + " is not a list of texts";
            return ERR_INVALID_PARAMETER;
        }
        values.clear();
        std::string all = Utf16LeToUtf8(v->data.data(), v->data.size(), false);
        size_t start = 0;
        while (start < all.size()) {  // the list ends at an empty string
            size_t end = all.find('\0', start);
            if (end == start) break;
            if (end == std::string::npos) end = all.size();
            values.push_back(all.substr(start, end - start));
            start = end + 1;
        }
        return ERR_NONE;
    });
}

bool CRegistry::ReadBinary(std::string_view name, std::vector<uint8_t>& data,
                           uint32_t* type) const {
    return ReadKey([&](const CRegKey& key, std::string& problem) -> uint32_t {
        const RegValue* v = key.FindValue(name);
        if (v == nullptr) {
            problem = "no value " + Quoted(name);
            return ERR_FILE_NOT_FOUND;
        }
        data = v->data;
        if (type != nullptr) *type = v->type;
        return ERR_NONE;
    });
}

bool CRegistry::SetValue(std::string_view name, uint32_t type, std::vector<uint8_t> data) {
    std::string problem = CheckValueName(name);
    if (!problem.empty()) return Fail(ERR_INVALID_PARAMETER, Quoted(name) + ": " + problem);
    return ChangeKey([&](CRegKey& key, std::string&) -> uint32_t {
        const RegValue* old = key.FindValue(name);
        if (old != nullptr && old->type == type && old->data == data) return REG_STORE_UNCHANGED;
        key.SetValue(RegValue{std::string(name), type, std::move(data)});
        return ERR_NONE;
    });
}

bool CRegistry::WriteString(std::string_view name, std::string_view value, uint32_t type) {
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        return Fail(ERR_INVALID_PARAMETER, Quoted(name) + ": not a text type");
    }
    std::string problem = CheckText(value);
    if (!problem.empty()) return Fail(ERR_INVALID_PARAMETER, Quoted(name) + ": " + problem);
    return SetValue(name, type, TextData(value));
}

bool CRegistry::WriteNumber(std::string_view name, uint32_t value) {
    return SetValue(
        name, REG_DWORD,
        {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)});
}

bool CRegistry::WriteMultiString(std::string_view name, const std::vector<std::string>& values) {
    std::vector<uint8_t> data;
    for (const std::string& text : values) {
        std::string problem = text.empty() ? "an empty text cannot be in a list" : CheckText(text);
        if (!problem.empty()) return Fail(ERR_INVALID_PARAMETER, Quoted(name) + ": " + problem);
        std::vector<uint8_t> one = TextData(text);
        data.insert(data.end(), one.begin(), one.end());
    }
    data.push_back(0);
    data.push_back(0);
    return SetValue(name, REG_MULTI_SZ, std::move(data));
}

bool CRegistry::WriteBinary(std::string_view name, const std::vector<uint8_t>& data,
                            uint32_t type) {
    return SetValue(name, type, data);
}

bool CRegistry::DeleteValue(std::string_view name) {
    return ChangeKey([&](CRegKey& key, std::string& problem) -> uint32_t {
        if (key.DeleteValue(name)) return ERR_NONE;
        problem = "no value " + Quoted(name);
        return ERR_FILE_NOT_FOUND;
    });
}

bool CRegistry::EnumKey(uint32_t index, std::string& name) const {
    return ReadKey([&](const CRegKey& key, std::string& problem) -> uint32_t {
        const CRegKey* sub = key.SubKeyAt(index);
        if (sub == nullptr) {
            problem = "no more subkeys";
            return ERR_NO_MORE_ITEMS;
        }
        name = sub->Name();
        return ERR_NONE;
    });
}

bool CRegistry::EnumValue(uint32_t index, std::string& name, uint32_t* type) const {
    return ReadKey([&](const CRegKey& key, std::string& problem) -> uint32_t {
        const RegValue* value = key.ValueAt(index);
        if (value == nullptr) {
            problem = "no more values";
            return ERR_NO_MORE_ITEMS;
        }
        name = value->name;
        if (type != nullptr) *type = value->type;
        return ERR_NONE;
    });
}

bool CRegistry::DeleteKey(std::string_view subKey) {
    std::vector<std::string> names;
    std::string problem = SplitKeyPath(subKey, names);
    if (problem.empty() && names.empty()) problem = "no subkey named";
    if (!problem.empty()) return Fail(ERR_INVALID_PARAMETER, Quoted(subKey) + ": " + problem);
    return ChangeKey([&](CRegKey& key, std::string& why) -> uint32_t {
        std::vector<std::string> parentNames(names.begin(), names.end() - 1);
        CRegKey* parent = key.Find(parentNames);
        const std::string& last = names.back();
        if (parent != nullptr && parent->DeleteSubKey(last)) return ERR_NONE;
        why = "no subkey " + Quoted(subKey);
        return ERR_FILE_NOT_FOUND;
    });
}

bool CRegistry::ExportKey(std::string_view fullKey, const std::string& file, std::string& error) {
    RegRoot root;
    std::vector<std::string> names;
    error = SplitFullKey(fullKey, root, names);
    if (!error.empty()) {
        error = Quoted(fullKey) + ": " + error;
        return false;
    }
    std::string text;
    RegStatus status = CRegStore::ForRoot(root).Read([&](const CRegKey& tree) -> uint32_t {
        const CRegKey* key = tree.Find(names);
        if (key == nullptr) return ERR_FILE_NOT_FOUND;
        text = WriteRegFile(*key, JoinFullKey(root, StoredNames(tree, names)));
        return ERR_NONE;
    });
    if (status.Ok()) status = WriteFileAtomically(file, text);
    if (status.Ok()) return true;
    error = status.text.empty() ? std::string(fullKey) + ": no such key" : status.text;
    return false;
}

bool CRegistry::ImportFile(const std::string& file, std::string& error) {
    std::string bytes;
    RegStatus status = ReadWholeFile(file, bytes);
    if (!status.Ok()) {
        error = status.text;
        return false;
    }
    RegFileDocument doc;
    if (!ParseRegFile(bytes, file, doc, error)) return false;
    // Each root's file is changed atomically; the two roots one after the other.
    for (RegRoot root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        if (!DocumentTouchesRoot(doc, root)) continue;
        status = CRegStore::ForRoot(root).Change([&](CRegKey& tree) -> uint32_t {
            ApplyRegFile(doc, root, tree);
            return ERR_NONE;
        });
        if (!status.Ok()) {
            error = status.text;
            return false;
        }
    }
    error.clear();
    return true;
}

}  // namespace plat
