// The restored file's temporary twin.
#include "core/RestoreWriter.h"

#include <cstdio>
#include <random>

#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/SysError.h"

namespace {

constexpr const char* TEMP_PREFIX = ".tav~";
constexpr const char* TEMP_SUFFIX = ".tmp";
constexpr int MAX_NAME_TRIES = 100;

std::string TempName() {
    static thread_local std::mt19937 random{std::random_device{}()};
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(random()));
    return std::string(TEMP_PREFIX) + text + TEMP_SUFFIX;
}

}  // namespace

CRestoreWriter::CRestoreWriter() = default;

CRestoreWriter::~CRestoreWriter() { Abandon(); }

template <typename Make>
bool CRestoreWriter::MakeTemp(const std::string& target, Make make) {
    Abandon();
    m_target = target;
    m_written = 0;
    const std::string folder = plat::DirName(target);
    for (int i = 0; i < MAX_NAME_TRIES; ++i) {
        const std::string temp = plat::JoinPath(folder.empty() ? "." : folder, TempName());
        if (make(temp)) {
            m_temp = temp;
            return true;
        }
        const uint32_t error = plat::GetLastError();
        if (error != plat::ERR_FILE_EXISTS && error != plat::ERR_ALREADY_EXISTS) return false;
    }
    return false;
}

bool CRestoreWriter::OpenFile(const std::string& target) {
    return MakeTemp(target, [this](const std::string& temp) {
        // A new file has nothing to read ahead: no access hint (one system call less per
        // file, which counts when restoring many small files).
        m_file = plat::CFile::Open(temp, plat::FileAccess::ReadWrite,
                                   plat::FileDisposition::CreateNew);
        if (!m_file) return false;
        m_buffer.clear();
        m_buffer.reserve(BUFFER_BYTES);
        return true;
    });
}

bool CRestoreWriter::MakeLink(const std::string& target, const std::string& linkText) {
    return MakeTemp(target,
                    [&linkText](const std::string& temp) { return plat::CreateSymlink(linkText, temp); });
}

bool CRestoreWriter::Flush() {
    if (m_buffer.empty()) return true;
    const bool done = m_file->Write(m_buffer.data(), m_buffer.size());
    m_buffer.clear();
    return done;
}

bool CRestoreWriter::Write(const void* data, size_t count) {
    if (!m_file) {
        plat::SetLastError(plat::ERR_INVALID_PARAMETER);
        return false;
    }
    m_written += count;
    if (m_buffer.size() + count > BUFFER_BYTES) {
        if (!Flush()) return false;
        // A piece as large as the buffer goes straight to the file.
        if (count >= BUFFER_BYTES) return m_file->Write(data, count);
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    m_buffer.insert(m_buffer.end(), bytes, bytes + count);
    return true;
}

bool CRestoreWriter::Close() {
    if (!m_file) return !m_temp.empty();
    const bool flushed = Flush();
    m_file.reset();
    return flushed;
}

bool CRestoreWriter::Commit() {
    if (m_temp.empty() || !Close()) {
        const uint32_t error = plat::GetLastError();
        Abandon();
        plat::SetLastError(error);
        return false;
    }
    if (!plat::RenameFile(m_temp, m_target)) {
        const uint32_t error = plat::GetLastError();
        Abandon();
        plat::SetLastError(error);
        return false;
    }
    m_temp.clear();
    return true;
}

void CRestoreWriter::Abandon() {
    m_file.reset();
    m_buffer.clear();
    if (!m_temp.empty()) {
        plat::RemoveFile(m_temp);
        m_temp.clear();
    }
}
