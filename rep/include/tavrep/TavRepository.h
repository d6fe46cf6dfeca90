// CTavRepository: creates, attaches and writes repositories; baselines, nodes, contents,
// transactions and passwords. Also the observer and error-callback interfaces.
#pragma once
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/FindData.h"
#include "tavrep/BaselineDetails.h"
#include "tavrep/FormatAdaptor.h"
#include "tavrep/MD5Checksum.h"
#include "tavrep/TavException.h"
#include "tavrep/TavImage.h"
#include "tavrep/TavTypes.h"

class CTavRepository;
namespace tavrep {
class CReadAhead;
}

// One decoded content block and the link to the next block of its chain.
class TAVREP_API CTavRepContent {
public:
    virtual void Dispose();
    virtual ~CTavRepContent();
    uint32_t image = 0;
    uint32_t offset = 0;
    uint32_t nextImage = 0;
    uint32_t nextOffset = 0;
    uint32_t size = 0;
    std::vector<uint8_t> data;
    TavPosition Next() const { return {nextImage, nextOffset}; }
};

// Implemented by engines: progress per stored chunk and errors opening a source file.
class TAVREP_API CTavRepositoryObserver {
public:
    virtual ~CTavRepositoryObserver();
    // 0 asks to stop storing this file after the current chunk.
    virtual int32_t OnRepProgress(const char* path, TavPosition position, uint32_t percent);
    virtual void OnRepError(const char* path, const char* message);
};

// Implemented by programs. Non-zero: try again with the path now in `path`; 0: give up.
class TAVREP_API CTavRepErrorCallback {
public:
    virtual ~CTavRepErrorCallback();
    virtual int32_t OnChangePath(CTavRepository* repository, std::string& path);
    virtual int32_t OnChangeDisk(CTavRepository* repository, std::string& path);
};

// The repository's baselines, oldest first, from the baseline table of the entry point.
struct TAVREP_API TavBaselineList {
    std::vector<TavBaselineHeaderRec> items;
    TavPosition entryPoint;
    int32_t Count() const { return int32_t(items.size()); }
};

// Bytes of the repository that no committed baseline uses, left by a run that never
// committed (killed, power loss): a whole image file (`keep` 0), or the tail of the image
// that holds the newest baseline table (the bytes from `keep` on).
struct TavLeftover {
    uint32_t image = TAV_NONE;
    std::string path;
    uint64_t size = 0;  // the file's size
    uint64_t keep = 0;  // bytes that stay; 0: the file goes
    bool busy = false;  // a writer holds the image: it is left alone
    uint64_t Bytes() const { return size - keep; }
};

// An image file that repairing set aside (renamed, never deleted).
struct TavSetAside {
    uint32_t image = TAV_NONE;
    std::string from;
    std::string to;
};

// An image whose security record does not agree with the one the repository goes by.
struct TavSecurityMismatch {
    uint32_t image = TAV_NONE;
    bool damaged = false;  // the record does not hold together (else: another password)
};

class TAVREP_API CTavRepository {
public:
    CTavRepository();
    virtual ~CTavRepository();  // as Detach (exceptions are swallowed)
    CTavRepository(const CTavRepository&) = delete;
    CTavRepository& operator=(const CTavRepository&) = delete;

    // --- images (slots) ---
    static void BuildImagePath(std::string& out, const std::string& base, uint32_t imageId);
    static int TestFileExisting(const std::string& path);
    int GetImageHeader(const std::string& path, TavRepHeader& header);
    uint32_t PutImage(const std::string& path, uint32_t expectedId);
    void PutImageToSlot(uint32_t imageId, CTavImage* image, CTavFormatAdaptor* adaptor);
    void ClearImageSlot();
    CTavImage* GetImageFromID(uint32_t imageId);
    std::string GetImagePath(uint32_t imageId) const;
    // The file of image `imageId`: the open one's path, else the path beside the current
    // image (image 0 may be the first image's plain name).
    std::string ImagePathOf(uint32_t imageId) const;
    std::string GetCurrentRepPath() const;
    uint32_t GetCurrentImageID() const;
    uint32_t GetEntryImageID() const { return m_entryImage < 0 ? TAV_NONE : uint32_t(m_entryImage); }
    CTavFormatAdaptor* GetAdaptor(uint32_t imageId) const;
    TavPosition GetEntryPoint(uint32_t imageId, uint32_t slot);
    int SetEntryPoint(uint32_t imageId, uint32_t slot, TavPosition position);

    // --- repository ---
    // 1 once the file, its fixed blocks and its name in the folder are on the disk; 0 (the
    // file it made removed again) otherwise.
    static int CreateRepository(const std::string& path, const TavImageSecurity* security,
                                uint32_t imageId, TavPosition entry,
                                const uint8_t* digest = nullptr);
    int Attach(const std::string& path, const TavImageSecurity* security);
    void Detach();
    int IsAttached() const { return m_currentImage >= 0; }
    CTavRepErrorCallback* SetRepErrorCallback(CTavRepErrorCallback* callback);
    // Starts image current + 1 beside the current image for a backup run, so that the
    // run's transaction holds only a file of its own. It carries the repository's password
    // digest and newest entry point. The new id, or TAV_NONE.
    uint32_t StartFreshImage();
    // Raises CTavImageException (code 0) when the current image's lock cannot be taken for
    // a reason other than the time-out.
    int BeginTrans(uint32_t timeoutMs);
    // 0 when an image of the transaction could not be synced to the disk; the transaction
    // then stays open and the caller rolls it back.
    int CommitTrans();
    int RollbackTrans();

    // --- baselines ---
    int GetBaselineHeader(uint32_t number, TavBaselineHeaderRec& header) const;
    uint32_t GetLatestBaselineNumber() const;
    TavPosition GetLatestBaselinePos() const;
    const TavBaselineList* GetBaselineList() const { return m_baselines.get(); }
    CTavRepBaselineDetails* LoadBaseline(uint32_t number);
    // TAV_NONE (the last error set, the list and every entry point as before) also when the
    // run's blocks or the entry points naming the new baseline could not be synced.
    uint32_t SaveBaseline(CTavRepBaselineDetails* table, const char* name,
                          const char* description, uint32_t type);
    // Compacts `table` in place for saving; returns the number of records it keeps.
    static uint32_t PurgeBaseline(std::vector<TavNodeRec>& table);
    // Forgets the baselines `numbers` names (never baseline 0 or the newest): a baseline
    // table without them is written into a fresh image, which then holds the entry point; a
    // transaction of its own (a failure leaves the repository as it was). Returns 1, or 0
    // with the reason in `error`. Their data stays until the unused images are reclaimed.
    int ForgetBaselines(const std::vector<uint32_t>& numbers, std::string& error);

    // --- nodes ---
    uint32_t AddNode(CTavRepBaselineDetails* table, uint32_t parentId, uint32_t moduleId,
                     const TavFindData* findData, const char* path, uint32_t chunkSize,
                     TavPosition extra, CTavRepositoryObserver* observer);
    int UpdateNode(CTavRepBaselineDetails* table, TavNodeRec& node, const TavFindData* findData,
                   const char* path, TavPosition extra, CTavRepositoryObserver* observer);
    int DeleteNode(CTavRepBaselineDetails* table, uint32_t nodeId);
    static TavNodeRec* CreateNode();
    static void DisposeNode(TavNodeRec* node);
    static std::string BuildTempPath();

    // --- contents ---
    TavPosition AddBlock(const void* payload, uint32_t length, uint32_t prefix, uint32_t kind);
    TavPosition AddContent(const void* payload, uint32_t length, TavPosition previous);
    // Stores the file as a chain and returns its first block, or {0, 0} when the file was
    // not stored whole: it cannot be opened, a read fails, its size is not `expectedSize`
    // (the size its node records; by default the size when it was opened) once it is read
    // to the end, or a block cannot be written (a full disk). The observer hears why through
    // OnRepError. A stop asked by the observer keeps the chain of the chunks written so far.
    TavPosition AddFileContent(const char* path, uint32_t chunkSize,
                               CTavRepositoryObserver* observer, CMD5Checksum* md5,
                               uint64_t expectedSize = UINT64_MAX);
    // Announces that AddFileContent(path, chunkSize, ...) comes soon: the file is opened and
    // its first chunks are read and handed to the encoders now, so that the encoders work on
    // several files at once. A hint only: what AddFileContent stores does not change, and
    // announced files that are not stored are dropped at the next AddFileContent of a file
    // announced after them, at the end of the transaction, or with DropPrefetched. False
    // when nothing more is taken now (the read-ahead is full, or there is one core).
    bool PrefetchFileContent(const char* path, uint32_t chunkSize);
    void DropPrefetched();
    CTavRepContent* GetContent(TavPosition position);

    // --- passwords ---
    static int CreatePwdDigest(const char* password, uint8_t out[16]);
    int VerifyPassword(const char* password);
    int ChangePassword(const char* oldPassword, const char* newPassword);
    const TavImageSecurity* GetSecurity() const { return m_security.get(); }

    // Closes the read-only handles that block reads keep open between calls (another
    // process cannot write an image while this one holds it for reading).
    void ReleaseReadHandles();
    // The exception code that made the last Attach return 0 (e.g. 2 busy, 5 not an image).
    int32_t LastAttachCode() const { return m_lastAttachCode; }
    // What more the library knew about that failure (e.g. which image needs a newer
    // version of Tavora); empty when nothing.
    const std::string& LastAttachDetail() const { return m_lastAttachDetail; }
    // Entry points of baseline tables newer than the one Attach opened at that could not be
    // read (a damaged or cut image): the repository shows the baselines before them.
    const std::vector<TavPosition>& GetUnreadableTables() const { return m_unreadableTables; }
    // Ids of the images met since Attach that a newer version of Tavora wrote in a way this
    // one cannot read (an unknown format version or feature): their baselines are not shown,
    // and nothing may be written into the repository.
    const std::set<uint32_t>& GetNewerImages() const { return m_newerImages; }
    // Images whose security record is damaged or names another password than the one the
    // repository goes by (the newest intact record's, or the most intact records').
    const std::vector<TavSecurityMismatch>& GetSecurityMismatches() const { return m_securityMismatches; }
    // The password digest the repository goes by (four words 0xFFFFFFFF: no password).
    const uint8_t* PasswordDigest() const { return m_digest; }

    // --- repair (attached, outside a transaction) ---
    // What runs that never committed left behind. Whole images above the newest baseline
    // table (any that an entry point names, readable or not), and the tail behind that
    // table when it can be read. Images whose security record cannot be read are taken
    // only when they hold no more than their fixed blocks.
    std::vector<TavLeftover> FindLeftovers();
    // Removes the leftovers (newest first) or cuts them back, each while holding its image
    // as a writer would; one that a writer holds is skipped, and so are the whole images
    // below it. The ones done; the repository stays attached at the same baselines.
    std::vector<TavLeftover> RemoveLeftovers(const std::vector<TavLeftover>& leftovers);
    // Sets aside (renames to "<image>.set-aside") every image above the newest baseline
    // table that can be read and whose newest baseline's node table can be read, and makes
    // the remaining images' entry points name that table. Detaches; the caller attaches
    // again. False with `problem` when nothing could be done safely.
    bool SetAsideDamaged(std::vector<TavSetAside>& done, std::string& problem);
    // Rewrites the security record's password digest of every image whose record disagrees
    // with the repository's (damaged records are rebuilt whole). The images rewritten.
    std::vector<uint32_t> MendSecurityRecords();

private:
    friend class CContentWriter;
    std::string PathOfImageSeenFrom(const std::string& from, uint32_t imageId) const;
    bool StartNewImage(const std::string& path);
    void LinkBlock(TavPosition previous, TavPosition next);
    int ReadDigest(uint32_t imageId, uint8_t digest[16]);
    TavPosition SettleEntryPoint(const std::string& seenFrom, uint32_t start);
    void ChooseDigest();
    bool NodeTableReadable(const TavBaselineList& list);
    bool HoldAsWriter(CTavImage& image);
    bool ReadBaselineTable(TavPosition entry, TavBaselineList& list);
    std::vector<uint32_t> SeriesImageIds(const std::string& path) const;
    bool RoomFor(uint64_t bytes, std::string& path);
    bool PrepareRoom(uint64_t needed);
    TavPosition StoreItemContent(const TavFindData& findData, const char* path, uint32_t chunk,
                                 CTavRepositoryObserver* observer, CMD5Checksum& md5);
    void TerminateBlock(TavPosition position);
    uint64_t ImageLimit() const;
    CTavImage* ImageForBlock(uint64_t length);

    std::vector<std::unique_ptr<CTavImage>> m_images;
    std::vector<std::unique_ptr<CTavFormatAdaptor>> m_adaptors;
    int32_t m_currentImage = -1;
    int32_t m_entryImage = -1;
    int32_t m_capacity = 0;
    std::unique_ptr<TavBaselineList> m_baselines;
    std::unique_ptr<TavImageSecurity> m_security;
    CTavRepErrorCallback* m_errorCallback;
    uint8_t m_digest[16];  // the digest new images carry (the entry image's)
    std::set<uint32_t> m_createdInRun;  // images started during the transaction
    // What RollbackTrans puts back: the entry points SaveBaseline rewrote during the
    // transaction (image id, value before) and the baseline list as it stood at BeginTrans.
    std::vector<std::pair<uint32_t, TavPosition>> m_entryUndo;
    size_t m_baselineCountAtBegin = 0;
    TavPosition m_entryPointAtBegin;
    int32_t m_lastAttachCode = 0;
    std::string m_lastAttachDetail;
    std::vector<TavPosition> m_unreadableTables;
    std::set<uint32_t> m_newerImages;
    std::vector<TavPosition> m_entryCandidates;  // every entry point found, newest first
    std::vector<TavSecurityMismatch> m_securityMismatches;
    std::unique_ptr<tavrep::CReadAhead> m_readAhead;  // files announced by PrefetchFileContent
    // The room RoomFor last read off a folder's volume, less what it granted since.
    struct RoomSeen {
        bool known = false;
        std::string dir;
        uint64_t left = 0;
    } m_room;
};
