// CTavLiveSet: which image files (and how much of each) the kept baselines still use.
// Chains are followed by their 20-byte block headers only; payloads are never read.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "tavrep/TavTypes.h"

class CTavRepository;
namespace plat {
class CFile;
}

class TAVREP_API CTavLiveSet {
public:
    explicit CTavLiveSet(CTavRepository& repository);
    ~CTavLiveSet();
    CTavLiveSet(const CTavLiveSet&) = delete;
    CTavLiveSet& operator=(const CTavLiveSet&) = delete;

    // Marks the block at `position` and every block its chain links to. A chain met before
    // is not walked again. False (with Error()) when a header cannot be read or does not
    // check out; {x, 0} is no block and true.
    bool AddChain(TavPosition position);
    // Marks one block (a node or baseline table).
    bool AddBlock(TavPosition position);
    // Marks the baseline table that directly follows the block at `position` (the table
    // a new repository writes behind baseline 0's node table), when there is one.
    bool AddTableAfter(TavPosition position);
    // Marks every image up to `imageId` as used (data this walk cannot read positions from).
    void KeepImagesUpTo(uint32_t imageId);
    // Closes the image files the walk opened (they hold shared locks).
    void CloseFiles();

    bool IsLive(uint32_t imageId) const;
    // The end of the last used block of an image (0 when none), or the file's end when the
    // whole image is kept by KeepImagesUpTo.
    uint64_t LiveEnd(uint32_t imageId) const;
    const std::string& Error() const { return m_error; }
    uint64_t HeadersRead() const { return m_headersRead; }
    // The bytes (headers and stored data) of the distinct blocks marked.
    uint64_t LiveBytes() const { return m_liveBytes; }

private:
    struct ImageState;
    ImageState* Image(uint32_t imageId);
    bool ReadHeader(TavPosition position, uint32_t& length, uint32_t& kind, uint32_t& link);
    void Mark(uint32_t imageId, uint64_t end);
    bool Failed(TavPosition position, const char* problem);

    CTavRepository& m_repository;
    std::vector<std::unique_ptr<ImageState>> m_images;
    std::unordered_set<uint64_t> m_seen;  // blocks walked (image << 32 | offset)
    std::string m_error;
    uint64_t m_headersRead = 0;
    uint64_t m_liveBytes = 0;
};

// What giving back the space of unused images did.
struct TAVREP_API TavReclaimResult {
    struct Image {
        uint32_t id = 0;
        std::string path;
        uint64_t bytes = 0;
    };
    std::vector<Image> deleted;  // images no kept baseline uses, deleted
    std::vector<Image> busy;     // unused, but another process holds them: left for next time
    std::vector<Image> failed;   // unused, but they could not be deleted (the reason in `error`)
    uint64_t cutBytes = 0;       // given back by cutting image 0 back
    std::string error;
    uint64_t Freed() const {
        uint64_t n = cutBytes;
        for (const Image& i : deleted) n += i.bytes;
        return n;
    }
};

// The images of the attached repository that `live` does not use (image 0 never; it is
// listed as unused bytes in `cutBytes` when its end is not used), without changing anything.
TAVREP_API TavReclaimResult FindUnusedImages(CTavRepository& repository, const CTavLiveSet& live);
// Deletes the images of the attached repository that `live` does not use and cuts image 0
// back to its last used block (its entry point is first moved to `entry`, the newest baseline
// table). An image another process holds open is not touched. Call after the baseline table
// without the forgotten baselines is committed.
TAVREP_API TavReclaimResult ReclaimUnusedImages(CTavRepository& repository, const CTavLiveSet& live,
                                                TavPosition entry);
