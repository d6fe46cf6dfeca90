// CreateRepForBackup and DisposeRep: the repository of one backup run.
//
// Each run on an existing repository writes into a fresh image file, so that a rollback
// removes exactly what the run appended and committed images are never touched. Image
// numbers stay contiguous (the repository finds newer images by counting upwards), and one
// named lock per repository keeps two runs from starting the same image.
#include <memory>
#include <vector>

#include "platform/TextFormat.h"
#include "EngineTexts.h"
#include "ImageFiles.h"
#include "TextUtil.h"
#include "platform/FileSystem.h"
#include "platform/NamedLock.h"
#include "tavengine/TavEngine.h"
#include "tavengine/TavImageSettings.h"
#include "tavengine/TavJobHelper.h"
#include "tavengine/TavRepLock.h"
#include "tavrep/TavRepository.h"

namespace {

constexpr const char* RUN_LOCK_PREFIX = "TavEngine.BackupRun:";
// As long as a run waits for a repository's transaction.
constexpr const char* NEW_IMAGE_SUFFIX = ".new";

// A repository opened for a backup run: it holds the run lock for its whole life and knows
// which image it started.
class CTavBackupRepository final : public CTavRepository {
public:
    CTavBackupRepository(const std::string& firstImage)
        : m_runLock(RUN_LOCK_PREFIX + firstImage), m_firstImage(firstImage), m_lockFile(firstImage) {}

    // The run lock of this machine, then the lock file that other machines sharing the
    // folder respect (false with LockError()).
    bool Lock() {
        if (!m_runLock.Acquire(TAV_RUN_LOCK_TIMEOUT_MS)) return false;
        if (m_lockFile.Acquire()) return true;
        m_runLock.Release();
        return false;
    }
    const std::string& LockError() const { return m_lockFile.Error(); }
    const std::string& FirstImage() const { return m_firstImage; }
    uint32_t freshImage = TAV_NONE;

private:
    plat::CNamedLock m_runLock;
    std::string m_firstImage;
    CTavRepLockFile m_lockFile;
};

std::string& RepError() {
    thread_local std::string error;
    return error;
}

std::vector<std::string>& RepNotes() {
    thread_local std::vector<std::string> notes;
    return notes;
}

template <typename... Args>
CTavRepository* Fail(const char* format, Args... args) {
    RepError() = plat::Format(format, args...);
    return nullptr;
}

// The password digest that the repository goes by (its images agree on it, or most of
// them do); false when it has no password.
bool ReadDigest(CTavRepository& repository, uint8_t digest[16]) {
    bool none = true;
    for (int i = 0; i < 16; ++i) {
        digest[i] = repository.PasswordDigest()[i];
        none = none && digest[i] == 0xFF;
    }
    return !none;
}

// A run never builds on an older baseline table than the newest one that an image names:
// it would reuse baseline numbers and hide the newer baselines for good.
bool RefuseDamaged(CTavRepository& repository) {
    // Nothing is written beside images this version cannot read: it would build on older
    // baselines and hide the newer ones.
    if (!repository.GetNewerImages().empty()) {
        const uint32_t id = *repository.GetNewerImages().begin();
        Fail(engtext::REP_NEEDS_NEWER, NewerReaderText(id).c_str(), repository.ImagePathOf(id).c_str());
        return true;
    }
    const std::vector<TavPosition>& unreadable = repository.GetUnreadableTables();
    if (unreadable.empty()) return false;
    const std::string image = repository.ImagePathOf(unreadable.front().image);
    std::string first;
    CTavRepository::BuildImagePath(first, repository.GetCurrentRepPath(), TAV_NONE);
    Fail(engtext::REP_DAMAGED_NEWEST, image.c_str(), first.c_str());
    return true;
}

// Starts image current + 1 beside the first image and makes it the one the run writes to.
bool StartFreshImage(CTavBackupRepository& repository, const TavImageSecurity& security) {
    const uint32_t current = repository.GetCurrentImageID();
    if (current == TAV_NONE || current + 1 >= LAST_STARTED_IMAGE) {
        Fail(engtext::REP_FULL, repository.FirstImage().c_str());
        return false;
    }
    const uint32_t id = current + 1;
    std::string path;
    CTavRepository::BuildImagePath(path, repository.FirstImage(), id);
    // The repository stopped counting at this file: it is damaged or belongs elsewhere, and
    // overwriting it could destroy something the user still wants.
    if (CTavRepository::TestFileExisting(path)) {
        Fail(engtext::REP_STRAY_IMAGE, path.c_str());
        return false;
    }
    uint8_t digest[16];
    const bool hasDigest = ReadDigest(repository, digest);
    if (!CTavRepository::CreateRepository(path, &security, id, repository.GetLatestBaselinePos(),
                                          hasDigest ? digest : nullptr)) {
        plat::RemoveFile(path);
        Fail(engtext::REP_CANNOT_START_IMAGE, path.c_str());
        return false;
    }
    try {
        repository.PutImage(path, id);
    } catch (CTavException* e) {
        e->Delete();
        plat::RemoveFile(path);
        Fail(engtext::REP_CANNOT_START_IMAGE, path.c_str());
        return false;
    }
    repository.freshImage = id;
    return true;
}

// What the run cleaned up, for its run log.
void NoteRemoved(const std::vector<TavLeftover>& removed) {
    for (const TavLeftover& left : removed) {
        const auto bytes = static_cast<unsigned long long>(left.Bytes());
        RepNotes().push_back(
            left.keep == 0 ? plat::Format(engtext::REP_LEFTOVER_REMOVED, left.path.c_str(), bytes)
                           : plat::Format(engtext::REP_LEFTOVER_CUT, left.path.c_str(),
                                             static_cast<unsigned long long>(left.keep), bytes));
    }
}

// The image to attach through when the first image's file is missing: the lowest numbered
// image of the series (the repository then counts upwards from it); empty when none.
std::string FirstExistingImage(const std::string& firstImage) {
    for (const auto& [number, path] : imagefiles::ListImages(firstImage))
        if (CTavRepository::TestFileExisting(path)) return path;
    return {};
}

}  // namespace

const std::string& CTavEngine::GetRepError() { return RepError(); }

const std::vector<std::string>& CTavEngine::GetRepNotes() { return RepNotes(); }

std::string CTavEngine::GetRunLockName(const std::string& firstImage) {
    return RUN_LOCK_PREFIX + firstImage;
}

CTavRepository* CTavEngine::CreateRepForBackup(CTavJobHelper* job, const std::string& path) {
    RepError().clear();
    RepNotes().clear();
    std::string first = path.empty() && job != nullptr ? job->GetImagePath() : path;
    if (first.empty()) return Fail(engtext::REP_NO_IMAGE_DESC);
    // The engines change the current directory while they walk; every path stays absolute.
    first = plat::AbsolutePath(first);
    const std::string folder = plat::DirName(first);
    if (!plat::IsDirectory(folder)) return Fail(engtext::REP_FOLDER_MISSING, folder.c_str());

    TavImageSecurity security{};
    const uint32_t encoding = job != nullptr ? job->GetImageEncoding() : TAV_DEFAULT_ENCODING;
    const std::string split = job != nullptr ? job->GetImageDesc("splitsize") : std::string();
    if (!FillImageSecurity(encoding, SplitSizeToImageLimit(split), security))
        return Fail(engtext::REP_CANNOT_ATTACH, first.c_str());

    auto repository = std::make_unique<CTavBackupRepository>(first);
    if (!repository->Lock()) {
        if (!repository->LockError().empty()) return Fail("%s", repository->LockError().c_str());
        return Fail(engtext::REP_BUSY, first.c_str());
    }
    try {
        std::string attachPath = first;
        if (!CTavRepository::TestFileExisting(first)) {
            attachPath = FirstExistingImage(first);
            if (attachPath.empty()) {
                // A new repository: the run writes into its first image. It is made under
                // another name and renamed when whole, so that a run killed while making it
                // leaves no half image under the repository's name.
                const std::string making = first + NEW_IMAGE_SUFFIX;
                if (!CTavRepository::CreateRepository(making, &security, 0, TavPosition{0, 0}) ||
                    !plat::RenameFile(making, first)) {
                    plat::RemoveFile(making);
                    return Fail(engtext::REP_CANNOT_CREATE, first.c_str());
                }
                if (!repository->Attach(first, &security)) {
                    plat::RemoveFile(first);
                    return Fail(engtext::REP_CANNOT_ATTACH, first.c_str());
                }
                return repository.release();
            }
        }
        if (!repository->Attach(attachPath, &security)) {
            if (repository->LastAttachCode() == TAVEX_UNKNOWN_VERSION &&
                !repository->LastAttachDetail().empty())
                return Fail(engtext::REP_NEEDS_NEWER_AT, repository->LastAttachDetail().c_str());
            return Fail(engtext::REP_CANNOT_ATTACH, attachPath.c_str());
        }
        if (RefuseDamaged(*repository)) return nullptr;
        // What killed runs left (their images, or a tail behind the newest baseline table)
        // goes before this run starts; this run holds the run lock, so no other run of
        // ours writes them, and images another writer holds are left alone.
        const std::vector<TavLeftover> leftovers = repository->FindLeftovers();
        if (!leftovers.empty()) NoteRemoved(repository->RemoveLeftovers(leftovers));
        if (!StartFreshImage(*repository, security)) return nullptr;
        return repository.release();
    } catch (CTavException* e) {
        const std::string reason = e->Describe();
        e->Delete();
        return Fail(engtext::REP_ERROR, first.c_str(), reason.c_str());
    }
}

void CTavEngine::DisposeRep(CTavRepository* repository) {
    if (repository == nullptr) return;
    auto* run = dynamic_cast<CTavBackupRepository*>(repository);
    // Images this run started that no committed baseline uses: removed below, newest first,
    // so that the series stays contiguous.
    std::vector<std::pair<uint32_t, std::string>> unused;
    if (run != nullptr && run->freshImage != TAV_NONE) {
        const TavBaselineList* list = run->GetBaselineList();
        const uint32_t committedImage =
            list != nullptr && !list->items.empty() ? list->items.back().image : TAV_NONE;
        const uint32_t current = run->GetCurrentImageID();
        if (committedImage == TAV_NONE || committedImage < run->freshImage) {
            for (uint32_t id = run->freshImage; current != TAV_NONE && id <= current; ++id) {
                std::string path = run->GetImagePath(id);
                if (!path.empty()) unused.emplace_back(id, std::move(path));
            }
        }
    }
    try {
        repository->Detach();
    } catch (CTavException* e) {
        // Still inside a transaction: the run was abandoned, so its work is undone.
        e->Delete();
        try {
            repository->RollbackTrans();
            repository->Detach();
        } catch (CTavException* inner) {
            inner->Delete();
        }
    }
    for (auto it = unused.rbegin(); it != unused.rend(); ++it) {
        std::string next;
        CTavRepository::BuildImagePath(next, it->second, it->first + 1);
        if (CTavRepository::TestFileExisting(next)) break;
        if (CTavRepository::TestFileExisting(it->second)) plat::RemoveFile(it->second);
    }
    delete repository;
}
