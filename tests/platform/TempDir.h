// A temporary folder for one test, removed with everything in it afterwards.
#pragma once
#include <string>
#include <vector>

#include "platform/File.h"
#include "platform/FileSystem.h"

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

}  // namespace tavtest
