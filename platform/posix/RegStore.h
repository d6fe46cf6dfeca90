// The process's view of one settings file (user.reg or machine.reg): the parsed tree,
// re-read when another process has replaced the file, and changed under a named lock.
// Internal to the platform library; CRegistry is its interface.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/RegTree.h"

namespace plat {

// The outcome of a store operation: a Win32-style code (ERR_NONE on success) and, on
// failure, a text naming the file and the problem.
struct RegStatus {
    uint32_t code = 0;
    std::string text;
    bool Ok() const { return code == 0; }
};

// A changer's answer that means "done, nothing to write".
constexpr uint32_t REG_STORE_UNCHANGED = 0xFFFFFFFFu;

// What identifies one version of a settings file: a rewrite makes a new file (a new
// inode), and its size and times change too.
struct RegFileSignature {
    uint64_t device = 0, inode = 0, size = 0;
    int64_t mtimeSec = 0, mtimeNsec = 0, ctimeSec = 0, ctimeNsec = 0;
    bool exists = false;
    friend bool operator==(const RegFileSignature&, const RegFileSignature&) = default;
};

class CRegStore {
public:
    // Returns ERR_NONE or an error code; sees the tree as it is on disk.
    using Reader = std::function<uint32_t(const CRegKey& root)>;
    // Returns ERR_NONE to have the tree written, REG_STORE_UNCHANGED when it changed
    // nothing, or an error code (and then must not have changed the tree).
    using Changer = std::function<uint32_t(CRegKey& root)>;

    static CRegStore& ForRoot(RegRoot root);  // one per root for the whole process

    RegStatus Read(const Reader& reader);
    // Takes the file's named lock, re-reads the file when it changed, applies the
    // changer and rewrites the file atomically (temporary file and rename).
    RegStatus Change(const Changer& changer);

private:
    explicit CRegStore(RegRoot root) : m_root(root) {}
    RegStatus Refresh(const std::string& path);  // with m_mutex held
    RegStatus Save(const std::string& path);

    RegRoot m_root;
    std::mutex m_mutex;
    std::string m_path;  // of the file m_tree was read from
    std::unique_ptr<CRegKey> m_tree;
    RegFileSignature m_signature;
    int64_t m_checkedAt = 0;  // wall-clock seconds when m_signature was taken
};

// Reads a whole file of at most REG_FILE_MAX_SIZE bytes.
RegStatus ReadWholeFile(const std::string& path, std::string& bytes);
// Replaces `path` by `bytes` atomically: a temporary file in the same folder, flushed,
// then renamed over it. The folder is made when missing. A symbolic link at `path`
// is followed, so that the file it names is replaced.
RegStatus WriteFileAtomically(const std::string& path, const std::string& bytes);

}  // namespace plat
