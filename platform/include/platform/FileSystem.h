// File-system services: existence, removal, listing, metadata, free space, temp files.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/FindData.h"

namespace plat {

// True when a file, directory or link of that name exists (links are not followed).
bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);  // follows links
bool RemoveFile(const std::string& path);   // a file or link; sets the last error
bool RemoveDirectory(const std::string& path);  // an empty directory
// Renames over an existing target atomically (same file system).
bool RenameFile(const std::string& from, const std::string& to);
// Flushes the folder's entries (names made, renamed or removed in it) to the disk, so that a
// file created there survives a power loss. A file system that cannot sync folders counts
// as done. False with the last error when the sync failed.
bool SyncDirectory(const std::string& path);
// Creates one directory (false with ERR_ALREADY_EXISTS when present).
bool CreateDirectory(const std::string& path, uint32_t mode = 0755);
// Creates the directory and its missing parents; true when it exists afterwards.
bool CreateDirectories(const std::string& path, uint32_t mode = 0755);

// lstat of `path` as find data (name = last path component). False with the last error.
bool GetFindData(const std::string& path, TavFindData& out);
// Lists a directory without "." and ".."; each entry with lstat data, in name order.
// False with the last error when the directory cannot be read.
bool ListDirectory(const std::string& path, std::vector<TavFindData>& out);

// Sets access and written times (FILETIME); a symbolic link itself is not followed.
bool SetFileTimes(const std::string& path, const TavFileTime& accessed,
                  const TavFileTime& written);
bool SetFileMode(const std::string& path, uint32_t mode);              // chmod
bool SetFileOwner(const std::string& path, uint32_t uid, uint32_t gid);  // lchown
bool CreateSymlink(const std::string& target, const std::string& path);
bool ReadSymlink(const std::string& path, std::string& target);
bool IsRoot();  // the process runs with uid 0

// Free bytes for an unprivileged user on the volume holding `dir` (statvfs, 64-bit).
std::optional<uint64_t> FreeSpace(const std::string& dir);

// Makes a new empty temporary file (mkstemp in $TMPDIR, else /tmp) whose name starts
// with `prefix` and returns its path; empty on failure.
std::string MakeTempFile(const std::string& prefix = "tav~");
// Makes a new temporary directory; empty on failure.
std::string MakeTempDirectory(const std::string& prefix = "tav~");
std::string TempDirectory();

// Path helpers (pure text, '/' separated).
std::string DirName(const std::string& path);   // "" for a bare name, "/" for "/x"
std::string BaseName(const std::string& path);
std::string JoinPath(const std::string& dir, const std::string& name);
std::string CurrentDirectory();
std::string AbsolutePath(const std::string& path);  // without resolving links

}  // namespace plat
