// The settings tree in memory. Pure logic: no operating-system calls.
#include "platform/RegTree.h"

#include <iterator>

#include "platform/RegText.h"

namespace plat {

namespace {

std::string CheckCharacters(std::string_view name) {
    if (!IsValidUtf8(name)) return "name is not valid UTF-8 text";
    for (char ch : name) {
        if (ch == '\0' || ch == '\r' || ch == '\n') return "name holds a control character";
    }
    return std::string();
}

}  // namespace

const char* RootName(RegRoot root) {
    return root == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

bool ParseRootName(std::string_view text, RegRoot& root) {
    std::string folded = FoldCase(text);
    if (folded == "HKEY_CURRENT_USER" || folded == "HKCU") {
        root = HKEY_CURRENT_USER;
        return true;
    }
    if (folded == "HKEY_LOCAL_MACHINE" || folded == "HKLM") {
        root = HKEY_LOCAL_MACHINE;
        return true;
    }
    return false;
}

std::string CheckKeyName(std::string_view name) {
    if (name.empty()) return "empty key name";
    if (name.find('\\') != std::string_view::npos) return "key name holds a '\\'";
    std::string problem = CheckCharacters(name);
    if (!problem.empty()) return "key " + problem;
    if (CountCodePoints(name) > REG_MAX_KEY_NAME) return "key name longer than 255 characters";
    return std::string();
}

std::string CheckValueName(std::string_view name) {
    std::string problem = CheckCharacters(name);
    if (!problem.empty()) return "value " + problem;
    if (CountCodePoints(name) > REG_MAX_VALUE_NAME) {
        return "value name longer than 16383 characters";
    }
    return std::string();
}

std::string SplitKeyPath(std::string_view path, std::vector<std::string>& names) {
    names.clear();
    if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    if (path.empty()) return std::string();
    size_t start = 0;
    while (true) {
        size_t end = path.find('\\', start);
        std::string_view name = path.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        std::string problem = CheckKeyName(name);
        if (!problem.empty()) return problem;
        if (names.size() == REG_MAX_DEPTH) return "key path deeper than 512 levels";
        names.emplace_back(name);
        if (end == std::string_view::npos) return std::string();
        start = end + 1;
    }
}

std::string SplitFullKey(std::string_view fullKey, RegRoot& root, std::vector<std::string>& names) {
    names.clear();
    size_t slash = fullKey.find('\\');
    std::string_view rootText = fullKey.substr(0, slash);
    if (!ParseRootName(rootText, root)) {
        if (rootText.empty()) return "missing root key";
        return "unsupported root key \"" + std::string(rootText) + "\"";
    }
    if (slash == std::string_view::npos) return std::string();
    return SplitKeyPath(fullKey.substr(slash + 1), names);
}

std::string JoinFullKey(RegRoot root, const std::vector<std::string>& names) {
    std::string text = RootName(root);
    for (const std::string& name : names) {
        text += '\\';
        text += name;
    }
    return text;
}

CRegKey::CRegKey(std::string name) : m_name(std::move(name)) {}

const CRegKey* CRegKey::SubKeyAt(size_t index) const {
    if (index >= m_subKeys.size()) return nullptr;
    return std::next(m_subKeys.begin(), ptrdiff_t(index))->second.get();
}

CRegKey* CRegKey::FindSubKey(std::string_view name) {
    auto it = m_subKeys.find(FoldCase(name));
    return it == m_subKeys.end() ? nullptr : it->second.get();
}

const CRegKey* CRegKey::FindSubKey(std::string_view name) const {
    return const_cast<CRegKey*>(this)->FindSubKey(name);
}

CRegKey& CRegKey::CreateSubKey(std::string_view name) {
    auto [it, inserted] = m_subKeys.try_emplace(FoldCase(name));
    if (inserted) it->second = std::make_unique<CRegKey>(std::string(name));
    return *it->second;
}

bool CRegKey::DeleteSubKey(std::string_view name) { return m_subKeys.erase(FoldCase(name)) != 0; }

CRegKey* CRegKey::Find(const std::vector<std::string>& names) {
    CRegKey* key = this;
    for (const std::string& name : names) {
        key = key->FindSubKey(name);
        if (key == nullptr) return nullptr;
    }
    return key;
}

const CRegKey* CRegKey::Find(const std::vector<std::string>& names) const {
    return const_cast<CRegKey*>(this)->Find(names);
}

CRegKey& CRegKey::Create(const std::vector<std::string>& names) {
    CRegKey* key = this;
    for (const std::string& name : names) key = &key->CreateSubKey(name);
    return *key;
}

const RegValue* CRegKey::ValueAt(size_t index) const {
    if (index >= m_values.size()) return nullptr;
    return &std::next(m_values.begin(), ptrdiff_t(index))->second;
}

const RegValue* CRegKey::FindValue(std::string_view name) const {
    auto it = m_valueIndex.find(FoldCase(name));
    return it == m_valueIndex.end() ? nullptr : &m_values.at(it->second);
}

void CRegKey::SetValue(RegValue value) {
    auto [it, inserted] = m_valueIndex.try_emplace(FoldCase(value.name), m_nextValue);
    if (inserted) {
        ++m_nextValue;
        m_values.emplace(it->second, std::move(value));
        return;
    }
    RegValue& existing = m_values.at(it->second);
    existing.type = value.type;
    existing.data = std::move(value.data);
}

bool CRegKey::DeleteValue(std::string_view name) {
    auto it = m_valueIndex.find(FoldCase(name));
    if (it == m_valueIndex.end()) return false;
    m_values.erase(it->second);
    m_valueIndex.erase(it);
    return true;
}

void CRegKey::Clear() {
    m_values.clear();
    m_valueIndex.clear();
    m_subKeys.clear();
}

bool CRegKey::SameTree(const CRegKey& other) const {
    if (m_name != other.m_name || m_values.size() != other.m_values.size() ||
        m_subKeys.size() != other.m_subKeys.size()) {
        return false;
    }
    for (auto a = m_values.begin(), b = other.m_values.begin(); a != m_values.end(); ++a, ++b) {
        if (!(a->second == b->second)) return false;
    }
    for (auto a = m_subKeys.begin(), b = other.m_subKeys.begin(); a != m_subKeys.end(); ++a, ++b) {
        if (!a->second->SameTree(*b->second)) return false;
    }
    return true;
}

}  // namespace plat
