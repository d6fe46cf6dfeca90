// CTavOeEngine: writing restored files (store files from their chunk tables, settings
// exports) and importing settings items.
#include <algorithm>
#include <exception>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "core/DbxChunkInput.h"
#include "core/OeIdentities.h"
#include "core/OeSettingsImport.h"
#include "core/OeTargetFile.h"
#include "core/OeTexts.h"
#include "core/TavOeEngine.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/SysError.h"
#include "tavengine/TavWords.h"
#include "tavrep/FormatAdaptor.h"
#include "platform/TextFormat.h"
#include "tavrep/TavDisposed.h"

namespace {

using ContentPtr = TavDisposedPtr<CTavRepContent>;

// Removes a temporary file of the restore when it goes out of scope.
class CTempFileGuard {
public:
    explicit CTempFileGuard(std::string path) : m_path(std::move(path)) {}
    ~CTempFileGuard() {
        if (!m_path.empty()) plat::RemoveFile(m_path);
    }
    CTempFileGuard(const CTempFileGuard&) = delete;
    CTempFileGuard& operator=(const CTempFileGuard&) = delete;

private:
    std::string m_path;
};

}  // namespace

bool CTavOeEngine::PlainNodeName(const TavNodeRec& node, std::string& name) {
    name = Utf16FieldToUtf8(node.name, NODE_NAME_CHARS);
    if (OeIsPlainFileName(name)) return true;
    StartLine();
    Log(plat::Format(oetext::LOG_REFUSED_NAME, name.c_str()));
    ++m_restoreAccount.errors;
    return false;
}

int CTavOeEngine::RestoreIdentityTo(const std::string& directory, const TavNodeRec& identity) {
    std::string name;
    if (!PlainNodeName(identity, name)) return 0;
    const std::string folder = directory + name + "/";
    if (!plat::IsDirectory(folder) && !DryRun() && !plat::CreateDirectories(folder)) {
        StartLine();
        Log(plat::Format(oetext::LOG_CANNOT_MAKE_FOLDER, folder.c_str()));
        ++m_restoreAccount.errors;
        return 0;
    }
    int result = 1;
    for (const TavNodeRec& child : RestoreChildren(identity)) {
        if (m_cancel.load() != 0) break;
        if (child.moduleId == OE_TAG_MESSAGE) {
            if (!RestoreMsgFolder(folder, child)) result = 0;
        } else if (child.moduleId == OE_TAG_ITEM) {
            if (!RestoreItemFile(folder, child)) result = 0;
        }
    }
    return result;
}

int CTavOeEngine::RestoreMsgFolder(const std::string& directory, const TavNodeRec& messageRoot) {
    int result = 1;
    for (const TavNodeRec& node : RestoreChildren(messageRoot)) {
        if (m_cancel.load() != 0) break;
        if (node.moduleId == OE_TAG_MESSAGE && !RestoreMsg(directory, node)) result = 0;
    }
    return result;
}

int CTavOeEngine::RestoreMsg(const std::string& directory, const TavNodeRec& node) {
    std::string name;
    if (!PlainNodeName(node, name)) return 0;
    const std::string target = directory + name;
    TavFindData existing;
    const bool exists = plat::GetFindData(target, existing);
    const bool write = (m_command & TAV_RS_OVERWRITE_ALWAYS) || !exists ||
                       CheckUpToDate(node, existing, m_command) != 0;
    StartLine();
    if (DryRun()) {  // counted as the restore would count it
        if (!write) ++m_restoreAccount.upToDate;
        else if (exists) ++m_restoreAccount.overwritten;
        if (write) ++m_restoreAccount.succeeded;
        Log(plat::Format(!write ? oetext::LOG_DRY_UP_TO_DATE : exists ? oetext::LOG_DRY_REPLACE : oetext::LOG_DRY_WRITE,
                     target.c_str()));
        return 1;
    }
    Log(plat::Format(oetext::LOG_RESTORING_FILE, target.c_str()));
    FireOnProgress(oetext::PROGRESS_RESTORE, target, 0);
    if (!write) {
        ++m_restoreAccount.upToDate;
        Log(oetext::LOG_SKIPPED_UP_TO_DATE);
        return 1;
    }
    // Counted as overwritten only once the new file is in place (below).
    if (exists) Log(oetext::LOG_OVERWRITE);

    // Written beside the target and put in its place only when complete: a restore that
    // fails or is cancelled leaves the existing store file as it was.
    COeTargetFile out;
    if (const uint32_t error = out.Open(target); error != 0) {
        Log(plat::Format(error == plat::ERR_SHARING_VIOLATION ? oetext::LOG_ACCESS_DENIED_WRITE
                                                          : oetext::LOG_UNKNOWN_OPEN_WRITE,
                     target.c_str()));
        ++m_restoreAccount.errors;
        return 0;
    }

    // Exactly the node's size is written; a table or a block that cannot give it (missing,
    // short, or a table that ends early) fails the file rather than cut it.
    const uint64_t size = node.Size();
    const uint32_t chunkSize = node.chunkSize;
    bool complete = chunkSize != 0 || size == 0;
    uint64_t done = 0;
    if (complete && size > 0) {
        DbxChunkInput input(m_repository, node);
        std::vector<uint8_t> buffer(chunkSize);
        while (done < size && m_cancel.load() == 0) {
            const size_t want = size_t(std::min<uint64_t>(chunkSize, size - done));
            input.Seek(done);
            if (input.Read(buffer.data(), want) != want || !out.Write(buffer.data(), want)) {
                complete = false;
                break;
            }
            done += want;
            FireOnProgress(oetext::PROGRESS_RESTORE, target, ChunkPercent(done, size));
        }
    }
    if (m_cancel.load() != 0) {
        out.Abandon();
        return 0;
    }
    if (complete && (m_command & TAV_RS_SET_TIMES)) {
        // Set on the temporary file, which the rename keeps (Linux cannot set a creation time).
        complete =
            out.CloseTemp() && plat::SetFileTimes(out.TempPath(), node.accessed, node.written);
    }
    if (complete) complete = out.CloseTemp();
    if (complete && (m_command & TAV_RS_VERIFY) && (node.flags & NODE_HAS_FINGERPRINT)) {
        if (!CheckSum(out.TempPath(), chunkSize, node.fingerprint)) {
            out.Abandon();
            if (m_cancel.load() != 0) return 0;
            ++m_restoreAccount.errors;
            Log(plat::Format(oetext::LOG_CHECKSUM_ERROR, target.c_str()));
            return 0;
        }
    }
    if (!complete || !out.Commit((node.attributes & TAV_ATTR_READONLY) != 0)) {
        out.Abandon();
        ++m_restoreAccount.errors;
        StartLine();
        Log(plat::Format(oetext::LOG_WRITE_ERROR, target.c_str()));
        return 0;
    }
    if (exists) ++m_restoreAccount.overwritten;
    ++m_restoreAccount.succeeded;
    Log(oetext::LOG_OK);
    return 1;
}

int CTavOeEngine::RestoreReg(const std::string& file, const TavNodeRec& node) {
    COeTargetFile out;
    if (out.Open(file) != 0) return 0;
    // The content chain must give exactly the stored size; a chain that loops, breaks off
    // or runs long is damage, and nothing is written.
    const uint64_t size = node.Size();
    uint64_t written = 0;
    std::set<std::pair<uint32_t, uint32_t>> seen;
    for (TavPosition at = node.content; at.offset != 0;) {
        if (!seen.emplace(at.image, at.offset).second) return 0;
        ContentPtr content;
        try {
            content.reset(m_repository->GetContent(at));
        } catch (CTavException* e) {
            e->Delete();
            return 0;
        }
        if (!content) return 0;
        const size_t held = std::min<size_t>(content->size, content->data.size());
        if (written + held > size || !out.Write(content->data.data(), held)) return 0;
        written += held;
        at = content->Next();
    }
    if (written != size) return 0;
    return out.Commit((node.attributes & TAV_ATTR_READONLY) != 0) ? 1 : 0;
}

int CTavOeEngine::RestoreItemFile(const std::string& directory, const TavNodeRec& node) {
    std::string name;
    if (!PlainNodeName(node, name)) return 0;
    const std::string file = directory + name + oetext::REG_SUFFIX;
    if (DryRun()) {
        StartLine();
        Log(plat::Format(plat::PathExists(file) ? oetext::LOG_DRY_REPLACE : oetext::LOG_DRY_WRITE, file.c_str()));
        ++m_restoreAccount.succeeded;
        return 1;
    }
    if (RestoreReg(file, node)) {
        ++m_restoreAccount.succeeded;
        return 1;
    }
    ++m_restoreAccount.errors;
    StartLine();
    Log(plat::Format(oetext::LOG_CANNOT_CREATE, file.c_str()));
    Log(oetext::LOG_LINE_END);
    return 0;
}

int CTavOeEngine::RestoreItem(const TavNodeRec& node, const std::string& identifier,
                              const std::string* target) {
    const std::string name = Utf16FieldToUtf8(node.name, NODE_NAME_CHARS);
    StartLine();
    if (DryRun()) {
        const std::string& into = target != nullptr ? *target : identifier;
        Log(plat::Format(oetext::LOG_DRY_IMPORT, name.c_str(), into.c_str()));
        ++m_restoreAccount.succeeded;
        return 1;
    }
    Log(plat::Format(oetext::LOG_RESTORING_ITEM, name.c_str()));

    const std::string stored =
        plat::MakeTempFile(plat::Format(oetext::TEMP_RESTORE_PREFIX, plat::NowSeconds()));
    CTempFileGuard storedGuard(stored);
    const std::string import = stored.empty() ? std::string() : stored + oetext::REG_SUFFIX;
    CTempFileGuard importGuard(import);
    std::string why;
    bool ok = !stored.empty() && RestoreReg(stored, node);
    if (!ok) why = oetext::REASON_READ;
    // The settings go below the target identity's key, and nowhere else.
    if (ok)
        ok = COeSettingsImport::Prepare(stored, import, identifier,
                                        target != nullptr ? *target : identifier, why);
    if (ok) ok = COeIdentities::ImportReg(import, &why) != 0;
    if (!ok) {
        Log(plat::Format(oetext::LOG_CANNOT_RESTORE, name.c_str()));
        if (!why.empty()) Log(plat::Format(oetext::LOG_REASON, why.c_str()));
        ++m_restoreAccount.errors;
        return 0;
    }
    Log(oetext::LOG_OK);
    ++m_restoreAccount.succeeded;
    return 1;
}
