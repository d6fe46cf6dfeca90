// The engines' comparisons: changed items, new-file modes and content fingerprints.
#include <memory>
#include <vector>

#include "platform/File.h"
#include "platform/FindData.h"
#include "tavengine/TavEngine.h"
#include "tavengine/TavWords.h"
#include "tavrep/MD5Checksum.h"
#include "tavrep/TavTypes.h"

namespace {

// The attribute bits that tell a folder, a link and a file apart.
constexpr uint32_t KIND_BITS = TAV_ATTR_DIRECTORY | TAV_ATTR_REPARSE_POINT;

}  // namespace

int CTavEngine::CheckUpToDate(const TavNodeRec& node, const TavFindData& found, uint32_t word) {
    if ((word & TAV_CMD_MASK) == TAV_CMD_RESTORE) {
        // Whether the existing file must give way to the stored one.
        if ((word & TAV_RS_OVERWRITE_SIZE) && node.Size() != found.Size()) return 1;
        if ((word & TAV_RS_OVERWRITE_OLDER) && found.written.Ticks() < node.written.Ticks())
            return 1;
        return 0;
    }
    if (IsFullBackup(word)) return 1;
    if ((node.attributes & KIND_BITS) != (found.attributes & KIND_BITS)) return 1;
    if ((word & TAV_COND_SIZE) && node.Size() != found.Size()) return 1;
    if ((word & TAV_COND_DATE) && !(node.written == found.written)) return 1;
    if (!(word & TAV_COND_NO_ARCHIVE) &&
        ((node.attributes ^ found.attributes) & TAV_ATTR_ARCHIVE) != 0)
        return 1;
    return 0;
}

int CTavEngine::CheckShouldBeAdded(const std::string&, int allSelected, uint32_t word) {
    switch (word & TAV_COND_NEWFILE_MASK) {
        case TAV_COND_NEWFILE_ALWAYS:
            return 1;
        case TAV_COND_NEWFILE_IGNORE:
            return 0;
        default:
            return allSelected == 1 ? 1 : 0;
    }
}

int CTavEngine::CheckSum(const std::string& path, uint32_t chunkSize,
                         const uint32_t fingerprint[4]) {
    auto file = plat::CFile::Open(path, plat::FileAccess::Read, plat::FileDisposition::OpenExisting,
                                  nullptr, plat::FileHint::Sequential);
    if (!file) return 0;
    std::vector<uint8_t> buffer(VerifyChunkSize(chunkSize));
    CMD5Checksum md5;
    for (;;) {
        const int64_t n = file->ReadFull(buffer.data(), buffer.size());
        if (n < 0) return 0;
        if (n > 0) md5.Update(buffer.data(), size_t(n));
        if (size_t(n) < buffer.size()) break;
        if (ContinueChecksum() == 0) return 0;
    }
    uint32_t state[4];
    md5.GetHash(state);
    for (int i = 0; i < 4; ++i)
        if (state[i] != fingerprint[i]) return 0;
    return 1;
}
