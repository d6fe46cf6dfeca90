// COeTargetFile: temporary file beside the target, renamed over it when complete.
#include "core/OeTargetFile.h"

#include "core/OeStrings.h"
#include "core/OeTexts.h"
#include "platform/Clock.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/SysError.h"
#include "platform/TextFormat.h"

namespace {

constexpr int TEMP_NAME_ATTEMPTS = 100;
constexpr uint32_t PERMISSION_BITS = 07777;
constexpr uint32_t WRITE_BITS = 0222;

}  // namespace

COeTargetFile::COeTargetFile() = default;

COeTargetFile::~COeTargetFile() { Abandon(); }

uint32_t COeTargetFile::Open(const std::string& target) {
    Abandon();
    m_target = target;
    TavFindData existing;
    m_existed = plat::GetFindData(target, existing);
    m_existingMode = existing.mode & PERMISSION_BITS;
    if (m_existed && existing.kind == TavFileKind::Regular) {
        // Opened without truncation: the file keeps every byte until the rename.
        uint32_t error = 0;
        m_held = plat::CFile::Open(target, plat::FileAccess::ReadWrite,
                                   plat::FileDisposition::OpenExisting, &error);
        if (!m_held) return error != 0 ? error : plat::ERR_GEN_FAILURE;
    } else if (m_existed && existing.kind == TavFileKind::Directory) {
        return plat::ERR_ACCESS_DENIED;
    }

    const std::string folder = plat::DirName(target);
    static uint32_t s_counter = 0;
    uint32_t error = plat::ERR_GEN_FAILURE;
    for (int attempt = 0; attempt < TEMP_NAME_ATTEMPTS && !m_temp; ++attempt) {
        const std::string name =
            plat::Format(oetext::TARGET_TEMP_FILE, plat::NowSeconds(), (++s_counter) & 0xFFFF);
        const std::string path = folder.empty() ? name : plat::JoinPath(folder, name);
        m_temp = plat::CFile::Open(path, plat::FileAccess::ReadWrite,
                                   plat::FileDisposition::CreateNew, &error);
        if (m_temp)
            m_tempPath = path;
        else if (error != plat::ERR_FILE_EXISTS)
            break;
    }
    if (!m_temp) {
        m_held.reset();
        return error != 0 ? error : plat::ERR_GEN_FAILURE;
    }
    return 0;
}

bool COeTargetFile::Write(const void* data, size_t size) {
    return m_temp && m_temp->Write(data, size);
}

bool COeTargetFile::CloseTemp() {
    if (!m_temp) return !m_tempPath.empty();
    const bool synced = m_temp->Sync();
    m_temp.reset();
    return synced;
}

bool COeTargetFile::Commit(bool readOnly) {
    if (m_tempPath.empty()) return false;
    if (!CloseTemp()) {
        Abandon();
        return false;
    }
    if (m_existed && m_existingMode != 0) plat::SetFileMode(m_tempPath, m_existingMode);
    if (readOnly) {
        TavFindData written;
        if (plat::GetFindData(m_tempPath, written))
            plat::SetFileMode(m_tempPath, written.mode & PERMISSION_BITS & ~WRITE_BITS);
    }
    if (!plat::RenameFile(m_tempPath, m_target)) {
        Abandon();
        return false;
    }
    m_tempPath.clear();
    m_held.reset();
    return true;
}

void COeTargetFile::Abandon() {
    m_temp.reset();
    if (!m_tempPath.empty()) plat::RemoveFile(m_tempPath);
    m_tempPath.clear();
    m_held.reset();
}
