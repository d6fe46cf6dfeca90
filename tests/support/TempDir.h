// A temporary folder for one test, removed with everything in it afterwards; files written
// and read whole; the environment of one test.
#pragma once
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"

namespace tavtest {

// Removes `path` and, for a folder, everything below it (links are removed, not followed).
inline void RemoveTree(const std::string& path) {
    TavFindData fd;
    if (!plat::GetFindData(path, fd)) return;
    if (fd.kind != TavFileKind::Directory) {
        plat::RemoveFile(path);
        return;
    }
    plat::SetFileMode(path, 0700);
    std::vector<TavFindData> entries;
    plat::ListDirectory(path, entries);
    for (const TavFindData& entry : entries) RemoveTree(plat::JoinPath(path, entry.name));
    plat::RemoveDirectory(path);
}

class CTempDir {
public:
    CTempDir() : m_path(plat::MakeTempDirectory("tavtest~")) {}
    ~CTempDir() {
        if (!m_path.empty()) RemoveTree(m_path);
    }
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return plat::JoinPath(m_path, name); }

private:
    std::string m_path;
};

// Writes `content` to a new file at `path`; false when it could not.
inline bool WriteFile(const std::string& path, const std::string& content) {
    auto file =
        plat::CFile::Open(path, plat::FileAccess::ReadWrite, plat::FileDisposition::CreateAlways);
    return file && file->Write(content.data(), content.size());
}

// The whole content of `path`, or "<unreadable>".
inline std::string ReadFile(const std::string& path) {
    auto file =
        plat::CFile::Open(path, plat::FileAccess::Read, plat::FileDisposition::OpenExisting);
    if (!file) return "<unreadable>";
    std::string content(size_t(file->Size()), '\0');
    if (file->ReadFull(content.data(), content.size()) != int64_t(content.size()))
        return "<unreadable>";
    return content;
}

// `n` bytes that do not compress, the same for the same seed.
inline std::string RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) c = char(rng());
    return s;
}

inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// How often `part` occurs in `text` (overlapping occurrences count).
inline int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// Sets an environment variable for the life of the object, then puts the old value back.
class CEnvOverride {
public:
    CEnvOverride(const std::string& name, const std::string& value)
        : m_name(name), m_old(plat::GetEnv(name)) {
        plat::SetEnv(name, value);
    }
    ~CEnvOverride() { plat::SetEnv(m_name, m_old.value_or("")); }
    CEnvOverride(const CEnvOverride&) = delete;
    CEnvOverride& operator=(const CEnvOverride&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

}  // namespace tavtest
