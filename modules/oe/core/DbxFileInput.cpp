#include "core/DbxFileInput.h"

#include "platform/File.h"

DbxFileInput::DbxFileInput(const std::string& path) {
    m_file = plat::CFile::Open(path, plat::FileAccess::Read, plat::FileDisposition::OpenExisting,
                               &m_openError);
    if (m_file) m_openError = 0;
}

DbxFileInput::~DbxFileInput() = default;

bool DbxFileInput::Seek(uint64_t offset) {
    if (!m_file) return false;
    // After a failed seek the position is unknown: deliver nothing until the next seek
    // succeeds, so that no bytes from the old position pass for bytes at `offset`.
    m_seekFailed = !m_file->Seek(offset);
    m_atEnd = m_seekFailed;
    return !m_seekFailed;
}

size_t DbxFileInput::Read(void* buffer, size_t count) {
    if (!m_file || m_seekFailed) return 0;
    const int64_t got = m_file->ReadFull(buffer, count);
    if (got < 0) {
        m_atEnd = true;
        return 0;
    }
    if (uint64_t(got) < count) m_atEnd = true;
    return size_t(got);
}
