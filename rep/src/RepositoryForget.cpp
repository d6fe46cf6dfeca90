// CTavRepository::ForgetBaselines: a new baseline table without the forgotten baselines.
#include <algorithm>
#include <cstdlib>
#include <set>

#include "platform/FileSystem.h"
#include "platform/HostInfo.h"
#include "platform/SysError.h"
#include "platform/TestHooks.h"
#include "tavrep/TavRepository.h"

int CTavRepository::ForgetBaselines(const std::vector<uint32_t>& numbers, std::string& error) {
    if (m_currentImage < 0 || !m_baselines || m_baselines->items.empty()) {
        error = "no repository is open";
        return 0;
    }
    const std::set<uint32_t> forget(numbers.begin(), numbers.end());
    const uint32_t newest = m_baselines->items.back().number;
    std::vector<TavBaselineHeaderRec> kept;
    size_t dropped = 0;
    for (const TavBaselineHeaderRec& h : m_baselines->items) {
        if (forget.count(h.number) == 0 || h.number == 0 || h.number == newest)
            kept.push_back(h);
        else
            ++dropped;
    }
    if (dropped != forget.size()) {
        error = "baseline 0, the newest baseline and baselines that are not listed cannot be forgotten";
        return 0;
    }
    if (dropped == 0) return 1;

    const uint32_t id = StartFreshImage();
    if (id == TAV_NONE) {
        error = "cannot start a new image beside " + GetCurrentRepPath();
        return 0;
    }
    plat::CrashStep("image-started");
    try {
        if (!BeginTrans(TAV_TRANS_TIMEOUT_MS)) {
            error = "cannot open " + GetCurrentRepPath() + " for writing";
            RollbackTrans();
            return 0;
        }
        CTavImage* image = m_images[id].get();
        CTavFormatAdaptor* adaptor = m_adaptors[id].get();
        const uint32_t headerSize = adaptor->HeaderDiskSize();
        std::vector<uint8_t> headers(kept.size() * headerSize);
        for (size_t i = 0; i < kept.size(); ++i)
            adaptor->HeaderToDisk(headers.data() + i * headerSize, &kept[i]);
        const uint32_t table =
            image->WriteBlock(headers.data(), uint32_t(headers.size()), 0, BLOCK_KIND_BASELINES, 0);
        // The table reaches the disk before the entry point names it.
        if (table == 0 || !image->Sync()) {
            error = "cannot write the baseline table to " + image->Path() + " (" +
                    plat::ErrorText(plat::GetLastError()) + ")";
            RollbackTrans();
            return 0;
        }
        // The new image's name is on the disk before anything depends on it.
        plat::SyncDirectory(plat::DirName(image->Path()));
        plat::CrashStep("table-written");
        const TavPosition entry{id, table};
        if (!SetEntryPoint(id, 3, entry) || !image->Sync()) {
            error = "cannot move the entry point of " + image->Path();
            RollbackTrans();
            return 0;
        }
        plat::CrashStep("entry-moved");
        if (!CommitTrans()) {
            error = "cannot commit " + image->Path() + " (" + plat::ErrorText(plat::GetLastError()) +
                    ")";
            // The new table goes with its image, and with it the entry point that names it:
            // the older images still name the full table, so no baseline is forgotten.
            RollbackTrans();
            return 0;
        }
        m_baselines->items = std::move(kept);
        m_baselines->entryPoint = entry;
        m_entryImage = int32_t(id);
        plat::CrashStep("committed");
        return 1;
    } catch (CTavException* e) {
        error = e->Describe();
        e->Delete();
        try {
            RollbackTrans();
        } catch (CTavException* inner) {
            inner->Delete();
        }
        return 0;
    }
}
