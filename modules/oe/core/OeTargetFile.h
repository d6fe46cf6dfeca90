// COeTargetFile: a restored file written beside its target and put in its place only when
// it is complete.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace plat {
class CFile;
}

// A restore writes into a new temporary file in the target's folder (".~tavoe.*.tmp", a
// name no backup picks up as a store file) and renames it over the target in Commit, so
// that an existing file stays as it was whenever the restore of it fails or is cancelled.
// While the replacement is open, an existing regular target is held open for writing: a
// target that another process of the suite holds is found out before anything is written
// (ERR_SHARING_VIOLATION). The temporary file is removed by Abandon and by the destructor
// unless Commit succeeded.
class COeTargetFile {
public:
    COeTargetFile();
    ~COeTargetFile();
    COeTargetFile(const COeTargetFile&) = delete;
    COeTargetFile& operator=(const COeTargetFile&) = delete;

    // 0 when the replacement is open, else the system error (the target cannot be opened
    // for writing, or no file can be made in its folder).
    uint32_t Open(const std::string& target);
    bool Write(const void* data, size_t size);
    // Flushes the temporary file to disk and closes it, e.g. before its content is checked;
    // it stays for Commit. False when it cannot be flushed.
    bool CloseTemp();
    const std::string& TempPath() const { return m_tempPath; }
    const std::string& Target() const { return m_target; }
    bool TargetExisted() const { return m_existed; }

    // Puts the temporary file in the target's place. It takes the permissions of the file
    // it replaces; with `readOnly`, nobody may write it. False (the temporary file removed,
    // the target as it was) when the rename fails.
    bool Commit(bool readOnly);
    void Abandon();

private:
    std::string m_target;
    std::string m_tempPath;
    std::unique_ptr<plat::CFile> m_temp;
    std::unique_ptr<plat::CFile> m_held;  // the existing target, held for writing
    bool m_existed = false;
    uint32_t m_existingMode = 0;
};
