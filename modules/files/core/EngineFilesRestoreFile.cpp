// CTavEngineFiles restore: writing the collected files in the order of their contents.
#include <algorithm>
#include <exception>
#include <memory>

#include "core/EngineFilesRestoreList.h"
#include "core/FilesTexts.h"
#include "core/PathText.h"
#include "core/RestoreMeta.h"
#include "core/RestoreWriter.h"
#include "platform/FileSystem.h"
#include "platform/SysError.h"
#include "tavengine/TavWords.h"
#include "tavrep/MD5Checksum.h"
#include "platform/TextFormat.h"
#include "tavrep/TavDisposed.h"

namespace {

using namespace filestext;


// Link targets are short texts; a longer stored "target" is damage.
constexpr uint64_t MAX_LINK_TEXT = 65536;

bool IsLink(const TavNodeRec& node) { return (node.attributes & TAV_ATTR_REPARSE_POINT) != 0; }

bool Before(TavPosition a, TavPosition b) {
    return a.image != b.image ? a.image < b.image : a.offset < b.offset;
}

// The percent the progress shows after `written` of `size` bytes.
uint32_t Percent(uint64_t written, uint64_t size) {
    if (size < 100) return 100;
    const uint64_t percent = (written + size / 200) / (size / 100);
    return uint32_t(std::min<uint64_t>(percent, 100));
}

}  // namespace

int32_t CTavEngineFiles::WriteFileList(CRestoreList& list) {
    auto& files = list.files;
    std::stable_sort(files.begin(), files.end(),
                     [](const CRestoreList::Item& a, const CRestoreList::Item& b) { return a.id < b.id; });
    int32_t result = 1;
    TavNodeRec node;
    // The content index lists the nodes by the position of their content: one sequential
    // pass over the images.
    for (uint32_t id : list.baseline->contentIndex) {
        if (IsCancelled()) break;
        auto it = std::lower_bound(
            files.begin(), files.end(), id,
            [](const CRestoreList::Item& item, uint32_t value) { return item.id < value; });
        for (; it != files.end() && it->id == id && !IsCancelled(); ++it) {
            if (!list.baseline->LoadNode(node, id)) continue;
            result = RestoreFile(node, it->path, m_restoreWord);
        }
    }
    return result;
}

void CTavEngineFiles::FinishFolders(CRestoreList& list) {
    if (DryRun()) return;  // nothing was made
    RestoreMetaPlan plan;
    plan.setOwner = m_restoreOwners;
    plan.setTimes = (m_restoreWord & TAV_RS_SET_TIMES) != 0;
    TavNodeRec node;
    // Children first: setting a folder's times must come after everything inside it.
    for (auto it = list.made.rbegin(); it != list.made.rend(); ++it) {
        if (!list.baseline->LoadNode(node, it->id)) continue;
        plan.meta = m_restoreMeta->Of(node);
        std::string ownerProblem;
        if (!ApplyRestoreMeta(it->path, node, plan, ownerProblem))
            RestoreError(LOG_FOLDER_META_NOT_SET, it->path);
        else if (!ownerProblem.empty())
            Log(plat::Format(LOG_OWNER_NOT_SET, filespath::Printable(it->path).c_str(), ownerProblem.c_str()));
    }
}

// Reads the node's chain of content blocks into `writer` (a file) or `linkText` (a link).
// False when the file cannot be completed; a failure other than cancel is logged and counted.
bool CTavEngineFiles::CopyContent(const TavNodeRec& node, const std::string& path,
                                  CRestoreWriter& writer, std::string* linkText) {
    const uint64_t size = node.Size();
    uint64_t written = 0;
    TavPosition position = node.content;
    TavPosition previous{0, 0};
    std::string damage;
    try {
        while (position.offset != 0) {
            if (IsCancelled()) return false;
            // Blocks are only ever appended: a chain that does not move forward is damaged
            // (and would otherwise never end).
            if (previous.offset != 0 && !Before(previous, position)) {
                damage = WHY_CHAIN_ORDER;
                break;
            }
            TavDisposedPtr<CTavRepContent> content(m_repository->GetContent(position));
            if (!content) {
                damage = WHY_CHAIN_ORDER;
                break;
            }
            if (linkText != nullptr) {
                if (linkText->size() + content->data.size() > MAX_LINK_TEXT) {
                    damage = WHY_LINK_TEXT;
                    break;
                }
                linkText->append(content->data.begin(), content->data.end());
            } else if (!writer.Write(content->data.data(), content->data.size())) {
                writer.Abandon();
                RestoreError(LOG_WRITE_ERROR, path);
                return false;
            }
            written += content->data.size();
            FireOnProgress(PROGRESS_RESTORE_FILE, path, Percent(written, size));
            previous = position;
            position = content->Next();
        }
    } catch (CTavException* e) {
        damage = TakeException(e);
    } catch (const std::exception& e) {
        damage = e.what();
    }
    if (damage.empty() && written < size) damage = WHY_CHAIN_SHORT;
    if (damage.empty() && written > size) damage = WHY_CHAIN_LONG;
    if (damage.empty()) return true;
    writer.Abandon();
    Log(plat::Format(LOG_CONTENT_DAMAGED, filespath::Printable(path).c_str(), damage.c_str()));
    ++m_restoreCounts.errors;
    return false;
}

bool CTavEngineFiles::VerifyWritten(const TavNodeRec& node, const CRestoreWriter& writer,
                                    const std::string* linkText) {
    if (linkText == nullptr)
        return CheckSum(writer.TempPath(), node.chunkSize, node.fingerprint) != 0;
    // A link's fingerprint covers its target text (reading through the link would check
    // whatever it points to).
    std::string text;
    if (!plat::ReadSymlink(writer.TempPath(), text)) return false;
    CMD5Checksum md5;
    md5.Update(text.data(), text.size());
    uint32_t state[4];
    md5.GetHash(state);
    return std::equal(state, state + 4, node.fingerprint);
}

void CTavEngineFiles::KeepExisting(const TavNodeRec& node, const TavFindData& existing,
                                   const std::string& path, bool verbose) {
    ++m_restoreCounts.upToDate;
    const bool same = existing.kind != TavFileKind::Directory && existing.Size() == node.Size() &&
                      existing.written == node.written;
    if (!same) {
        ++m_restoreCounts.kept;
        if (verbose && !DryRun()) Log(LOG_SKIPPED_KEPT);
        Log(plat::Format(LOG_KEPT_DIFFERS, filespath::Printable(path).c_str()));
    } else if (DryRun()) {
        Log(plat::Format(LOG_DRY_UP_TO_DATE, filespath::Printable(path).c_str()));
    } else if (verbose) {
        Log(LOG_SKIPPED_UP_TO_DATE);
    }
}

int32_t CTavEngineFiles::RestoreFile(const TavNodeRec& node, const std::string& path,
                                     uint32_t word) {
    FireOnProgress(PROGRESS_RESTORE_FILE, path, 0);
    TavFindData existing;
    const bool exists = plat::GetFindData(path, existing);
    const bool write = (word & TAV_RS_OVERWRITE_ALWAYS) || !exists ||
                       CheckUpToDate(node, existing, SetTavCmd(word, TAV_CMD_RESTORE)) != 0;
    const bool verbose = (word & TAV_RS_VERBOSE) != 0;
    if (verbose && !DryRun()) Log(plat::Format(LOG_RESTORING_FILE, filespath::Printable(path).c_str()));
    if (!write) {
        KeepExisting(node, existing, path, verbose);
        return 1;
    }
    // A folder is never replaced by a file.
    if (exists && existing.kind == TavFileKind::Directory) {
        RestoreError(LOG_OPEN_ACCESS_DENIED, path);
        return 0;
    }
    if (DryRun()) {
        Log(plat::Format(exists ? LOG_DRY_REPLACE : LOG_DRY_WRITE, filespath::Printable(path).c_str()));
        if (exists) ++m_restoreCounts.overwritten;
        ++m_restoreCounts.succeeded;
        return 1;
    }

    const bool link = IsLink(node);
    CRestoreWriter writer;
    std::string linkText;
    if (link) {
        if (!CopyContent(node, path, writer, &linkText)) return 0;
        if (linkText.empty() || linkText.find('\0') != std::string::npos) {
            Log(plat::Format(LOG_CONTENT_DAMAGED, filespath::Printable(path).c_str(), WHY_LINK_TEXT));
            ++m_restoreCounts.errors;
            return 0;
        }
    }
    const bool opened = link ? writer.MakeLink(path, linkText) : writer.OpenFile(path);
    if (!opened) {
        const uint32_t error = plat::GetLastError();
        const bool denied =
            error == plat::ERR_SHARING_VIOLATION || error == plat::ERR_ACCESS_DENIED;
        RestoreError(denied ? LOG_OPEN_ACCESS_DENIED : LOG_OPEN_UNKNOWN, path);
        return 0;
    }
    if (!link) {
        if (!CopyContent(node, path, writer, nullptr)) return 0;
        if (!writer.Close()) {
            writer.Abandon();
            RestoreError(LOG_WRITE_ERROR, path);
            return 0;
        }
    }

    if ((word & TAV_RS_VERIFY) && (node.flags & NODE_HAS_FINGERPRINT) &&
        !VerifyWritten(node, writer, link ? &linkText : nullptr)) {
        writer.Abandon();
        if (IsCancelled()) return 0;
        RestoreError(LOG_CHECKSUM_ERROR, path);
        return 0;
    }
    if (IsCancelled()) return 0;  // the writer removes the unfinished file

    RestoreMetaPlan plan;
    plan.meta = m_restoreMeta->Of(node);
    plan.link = link;
    plan.setOwner = m_restoreOwners;
    plan.setTimes = (word & TAV_RS_SET_TIMES) != 0;
    std::string ownerProblem;
    if (!ApplyRestoreMeta(writer.TempPath(), node, plan, ownerProblem) || !writer.Commit()) {
        writer.Abandon();
        RestoreError(LOG_WRITE_ERROR, path);
        return 0;
    }
    if (!ownerProblem.empty())
        Log(plat::Format(LOG_OWNER_NOT_SET, filespath::Printable(path).c_str(), ownerProblem.c_str()));
    if (exists) {
        ++m_restoreCounts.overwritten;
        if (verbose) Log(LOG_OVERWRITE);
    }
    ++m_restoreCounts.succeeded;
    if (verbose) Log(LOG_OK);
    return 1;
}
