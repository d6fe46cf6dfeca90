// Counting a backup's work and showing its progress.
#include "BackupProgress.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "BaselineView.h"
#include "JobFile.h"
#include "NodeFormat.h"
#include "core/TavJobFilesHelper.h"
#include "platform/FileSystem.h"
#include "tavrep/TavRepository.h"
#include "tavrep/TavSecurity.h"

namespace tavctl {

namespace {

struct Stored {
    uint64_t size;
    uint64_t written;
    bool folder;
};

// The Files and Folders items of the repository's newest baseline, by path; empty when the
// repository cannot be read without a password (every file then counts).
std::unordered_map<std::string, Stored> NewestItems(const std::string& repoPath) {
    std::unordered_map<std::string, Stored> items;
    TavImageSecurity security;
    InitTavImageSecure(&security, nullptr, COMPRESS_DEFLATE, -1, ENCRYPT_BUILTIN,
                       TAV_DEFAULT_IMAGE_SIZE);
    CTavRepository rep;
    try {
        if (!plat::PathExists(repoPath) || rep.Attach(repoPath, &security) != 1) return items;
        CTavRepBaselineDetails* table = rep.LoadBaseline(rep.GetLatestBaselineNumber());
        if (table != nullptr) {
            CBaselineView view(table, 0);
            ForEachItem(view, false, [&](const TavNodeRec& node, const std::string& path) {
                if (node.moduleId == MODULE_FILES_ITEM)
                    items[path] = {node.Size(), node.written.Ticks(), IsFolder(node)};
            });
        }
        rep.Detach();
    } catch (CTavException* e) {
        e->Delete();
        items.clear();
    }
    return items;
}

bool Excluded(const CTavJobFilesHelper& selection, const std::string& path) {
    for (int i = 0; i < selection.GetExcludeCount(); ++i)
        if (auto e = selection.GetExclude(i); e && (*e == path || CTavJobFilesHelper::IsBelow(path, *e)))
            return true;
    return false;
}

}  // namespace

BackupWork CountBackupWork(const std::string& jobPath, bool full) {
    BackupWork work;
    CTavJobHelper job;
    if (!job.Load(jobPath)) return work;
    CTavJobFilesHelper selection(FilesNode(job), &job);
    const std::unordered_map<std::string, Stored> stored =
        full ? std::unordered_map<std::string, Stored>{} : NewestItems(job.GetImagePath());
    const auto count = [&](const std::string& path, const TavFindData& data) {
        if (data.kind == TavFileKind::Directory || data.kind == TavFileKind::Other) return;
        auto it = stored.find(path);
        if (it != stored.end() && !it->second.folder && it->second.size == data.Size() &&
            it->second.written == data.written.Ticks())
            return;  // unchanged: an incremental run passes it over
        ++work.files;
        work.bytes += data.Size();
        work.sizes[path] = data.Size();
    };
    std::vector<std::string> folders;
    for (int i = 0; i < selection.GetFileCount(); ++i) {
        const std::optional<std::string> source = selection.GetFile(i);
        TavFindData data;
        if (!source || Excluded(selection, *source) || !plat::GetFindData(*source, data)) continue;
        if (data.kind == TavFileKind::Directory) folders.push_back(*source);
        else count(*source, data);
    }
    while (!folders.empty()) {
        const std::string folder = std::move(folders.back());
        folders.pop_back();
        std::vector<TavFindData> entries;
        if (!plat::ListDirectory(folder, entries)) continue;
        for (const TavFindData& entry : entries) {
            const std::string path = plat::JoinPath(folder, entry.name);
            if (Excluded(selection, path)) continue;
            if (entry.kind == TavFileKind::Directory) folders.push_back(path);
            else count(path, entry);
        }
    }
    return work;
}

CBackupProgressView::CBackupProgressView(cmdhost::CRunnerView& inner, std::ostream& stream,
                                         const BackupWork& work, unsigned columns)
    : m_inner(inner), m_work(work), m_meter(stream, true, columns) {
    m_meter.SetTotals(work.files, work.bytes);
}

void CBackupProgressView::OnEngineEvent(cmdhost::EngineEvent event,
                                        const cmdhost::HostStatusRecord& status) {
    if (event != cmdhost::EngineEvent::Progress) {
        if (event != cmdhost::EngineEvent::Start) m_meter.Clear();
        m_inner.OnEngineEvent(event, status);
        return;
    }
    if (status.item != m_item) {  // the engine has gone on to the next file
        if (!m_item.empty()) {
            ++m_filesDone;
            m_bytesDone += m_itemSize;
        }
        m_item = status.item;
        auto it = m_work.sizes.find(m_item);
        m_itemSize = it == m_work.sizes.end() ? 0 : it->second;
    }
    m_meter.Update(m_filesDone, m_bytesDone + m_itemSize * std::min<uint32_t>(status.percent, 100) / 100,
                   Printable(status.item));
    m_inner.OnEngineEvent(event, status);
}

}  // namespace tavctl
