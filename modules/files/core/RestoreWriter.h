// CRestoreWriter: writes one restored file (or link) beside its target under a temporary
// name and puts it in place only when it is complete.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plat {
class CFile;
}

// A file that fails or is cancelled half-way never replaces what is at the target: the
// content goes into a new file ".tav~XXXXXXXX.tmp" in the target's folder (so the final
// rename stays on one file system and is atomic), through a large buffer, without flushing
// per chunk. Commit renames it over the target; anything else (Abandon, or destruction
// before Commit) removes it. Not thread-safe.
class CRestoreWriter {
public:
    CRestoreWriter();
    ~CRestoreWriter();  // as Abandon
    CRestoreWriter(const CRestoreWriter&) = delete;
    CRestoreWriter& operator=(const CRestoreWriter&) = delete;

    // Opens a new temporary file beside `target`. False with the platform's last error set.
    bool OpenFile(const std::string& target);
    // Makes a symbolic link with `linkText` beside `target`. False with the last error set.
    bool MakeLink(const std::string& target, const std::string& linkText);
    // Appends bytes (buffered). False with the last error set (the disk is full, ...).
    bool Write(const void* data, size_t count);
    // Writes what is buffered and closes the file. False with the last error set.
    bool Close();
    // Renames the temporary item over the target. False with the last error set; the
    // temporary item is then removed.
    bool Commit();
    // Closes and removes the temporary item (nothing when there is none).
    void Abandon();

    // The temporary item's path (empty when none is open).
    const std::string& TempPath() const { return m_temp; }
    uint64_t Written() const { return m_written; }

    // The buffer's size: writes reach the system in pieces of this size.
    static constexpr size_t BUFFER_BYTES = size_t(1) << 20;

private:
    bool Flush();
    // A free temporary name beside `target`, made by `make` (which fails with
    // ERR_FILE_EXISTS when the name is taken).
    template <typename Make>
    bool MakeTemp(const std::string& target, Make make);

    std::unique_ptr<plat::CFile> m_file;
    std::string m_target;
    std::string m_temp;
    std::vector<uint8_t> m_buffer;
    uint64_t m_written = 0;
};
