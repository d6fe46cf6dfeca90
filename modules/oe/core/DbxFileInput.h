// DbxFileInput: a DbxInput over a live ".dbx" file, opened for binary reading.
#pragma once
#include <memory>
#include <string>

#include "core/DbxInput.h"

namespace plat {
class CFile;
}

// Opens the file for reading (others may read too). A file that could not be opened
// delivers 0 bytes to every Read and is at its end; IsOpen tells the two apart.
// Destroying the input closes the file.
class DbxFileInput : public DbxInput {
public:
    explicit DbxFileInput(const std::string& path);
    ~DbxFileInput() override;

    bool IsOpen() const { return m_file != nullptr; }
    // The system error of a failed open (plat::ERR_...), 0 when the file is open.
    uint32_t OpenError() const { return m_openError; }

    bool Seek(uint64_t offset) override;
    size_t Read(void* buffer, size_t count) override;
    bool AtEnd() override { return m_file == nullptr || m_atEnd; }

private:
    std::unique_ptr<plat::CFile> m_file;
    uint32_t m_openError = 0;
    bool m_atEnd = false;
    bool m_seekFailed = false;
};
