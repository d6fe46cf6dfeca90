// CTavRepository: the password digest the repository goes by, password verification and
// change, and mending security records that disagree.
#include <algorithm>
#include <array>
#include <cstring>
#include <map>

#include "ByteOrder.h"
#include "SecurityRecord.h"
#include "platform/Clock.h"
#include "tavrep/TavRepository.h"
#include "tavrep/TavSecurity.h"

namespace {
const uint8_t NO_PASSWORD[16] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
bool IsEmpty(const char* password) { return password == nullptr || password[0] == 0; }
bool IsNoPassword(const uint8_t digest[16]) { return std::memcmp(digest, NO_PASSWORD, 16) == 0; }

using Digest = std::array<uint8_t, 16>;

// One image's security record as read at attach time.
struct RecordSeen {
    uint32_t image = 0;
    bool read = false;
    bool intact = false;
    Digest digest{};
};
}  // namespace

// Words 2-5 of an image's security record; 0 when the image or block cannot be had.
int CTavRepository::ReadDigest(uint32_t imageId, uint8_t digest[16]) {
    CTavImage* image = GetImageFromID(imageId);
    if (image == nullptr) return 0;
    TavBlockData block = image->ReadBlock(SECURITY_BLOCK_OFFSET);
    if (block.data.size() < SECURITY_RECORD_SIZE) return 0;
    std::memcpy(digest, block.data.data() + 8, 16);
    return 1;
}

// Every image carries the digest; they agree unless a record was damaged or an older
// program changed the password in some images only. The entry image's record decides when
// it is intact; otherwise the digest most intact records carry, a password winning a tie
// (a damaged record must neither drop a password nor invent one). Every record that
// disagrees, or does not hold together, is kept for the caller to report.
void CTavRepository::ChooseDigest() {
    m_securityMismatches.clear();
    std::vector<RecordSeen> seen;
    const uint32_t last = GetCurrentImageID();
    // Images above the newest baseline table belong to no baseline (a run that did not
    // finish); their records have no say.
    const int64_t top = m_entryCandidates.empty() ? m_currentImage : int64_t(m_entryCandidates.front().image);
    for (int32_t id = 0; id <= m_currentImage && id <= top; ++id) {
        if (!m_images[size_t(id)]) continue;
        RecordSeen r;
        r.image = uint32_t(id);
        try {
            TavBlockData block = m_images[size_t(id)]->ReadBlock(SECURITY_BLOCK_OFFSET);
            if (block.data.size() >= SECURITY_RECORD_SIZE) {
                r.read = true;
                r.intact = tavrep::SecurityRecordIntact(block.data.data(), r.image, last);
                std::memcpy(r.digest.data(), block.data.data() + 8, 16);
            }
        } catch (CTavException* e) {
            e->Delete();
        }
        seen.push_back(r);
    }
    const auto entry = std::find_if(seen.begin(), seen.end(), [&](const RecordSeen& r) {
        return int32_t(r.image) == m_entryImage;
    });
    const bool anyIntact = std::any_of(seen.begin(), seen.end(), [](const RecordSeen& r) { return r.intact; });
    Digest chosen;
    std::memcpy(chosen.data(), NO_PASSWORD, 16);
    if (entry != seen.end() && entry->intact) {
        chosen = entry->digest;
    } else if (anyIntact) {
        std::map<Digest, int> votes;
        for (const RecordSeen& r : seen)
            if (r.intact) ++votes[r.digest];
        int best = -1;
        for (const auto& [digest, count] : votes) {
            const bool better = count > best ||
                                (count == best && IsNoPassword(chosen.data()) && !IsNoPassword(digest.data()));
            if (better) {
                best = count;
                chosen = digest;
            }
        }
    } else if (entry != seen.end() && entry->read) {
        chosen = entry->digest;  // no record holds together: written by another program
    }
    std::memcpy(m_digest, chosen.data(), 16);
    for (const RecordSeen& r : seen) {
        if (anyIntact && !r.intact)
            m_securityMismatches.push_back({r.image, true});
        else if (r.intact && r.digest != chosen)
            m_securityMismatches.push_back({r.image, false});
    }
}

int CTavRepository::VerifyPassword(const char* password) {
    if (m_currentImage < 0 || m_entryImage < 0) return 0;
    if (IsNoPassword(m_digest)) return IsEmpty(password) ? 1 : 0;
    uint8_t digest[16];
    if (!CreatePwdDigest(password, digest)) return 0;
    return std::memcmp(digest, m_digest, 16) == 0 ? 1 : 0;
}

// Rewrites the digest of every image of the series, so that all of them agree and any
// one of them that is left opens with the new password; the entry image comes last. When
// one cannot be rewritten, those already rewritten get their old digest back.
int CTavRepository::ChangePassword(const char* oldPassword, const char* newPassword) {
    DropPrefetched();  // chunks read ahead are encoded with the password field as it is now
    if (!VerifyPassword(oldPassword)) return 0;
    uint8_t digest[16];
    if (IsEmpty(newPassword)) {
        std::memcpy(digest, NO_PASSWORD, 16);
    } else if (!CreatePwdDigest(newPassword, digest)) {
        return 0;
    }
    std::vector<uint32_t> order;
    for (int32_t id = 0; id <= m_currentImage; ++id)
        if (m_images[size_t(id)] && id != m_entryImage) order.push_back(uint32_t(id));
    order.push_back(uint32_t(m_entryImage));
    std::vector<std::pair<CTavImage*, Digest>> done;
    bool ok = true;
    for (uint32_t id : order) {
        CTavImage* image = GetImageFromID(id);
        Digest before{};
        try {
            ok = image != nullptr && ReadDigest(id, before.data()) &&
                 image->UpdateBlock(SECURITY_BLOCK_OFFSET, digest, 16, 8);
        } catch (CTavException* e) {
            e->Delete();
            ok = false;
        }
        if (!ok) break;
        image->ReleaseReadHandle();
        done.emplace_back(image, before);
    }
    if (!ok) {
        for (auto& [image, before] : done) {
            try {
                image->UpdateBlock(SECURITY_BLOCK_OFFSET, before.data(), 16, 8);
            } catch (CTavException* e) {
                e->Delete();
            }
            image->ReleaseReadHandle();
        }
        return 0;
    }
    std::memcpy(m_digest, digest, 16);
    m_securityMismatches.clear();
    return 1;
}

std::vector<uint32_t> CTavRepository::MendSecurityRecords() {
    std::vector<uint32_t> mended;
    const TavPosition entry = GetLatestBaselinePos();
    for (const TavSecurityMismatch& m : m_securityMismatches) {
        CTavImage* image = GetImageFromID(m.image);
        if (image == nullptr) continue;
        bool ok = false;
        try {
            if (m.damaged) {
                uint8_t record[SECURITY_RECORD_SIZE];
                tavrep::BuildSecurityRecord(record, m.image, plat::NowSeconds(), m_digest, entry);
                ok = image->UpdateBlock(SECURITY_BLOCK_OFFSET, record, SECURITY_RECORD_SIZE, 0) != 0;
            } else {
                ok = image->UpdateBlock(SECURITY_BLOCK_OFFSET, m_digest, 16, 8) != 0;
            }
        } catch (CTavException* e) {
            e->Delete();
        }
        image->ReleaseReadHandle();
        if (ok) mended.push_back(m.image);
    }
    std::erase_if(m_securityMismatches, [&](const TavSecurityMismatch& m) {
        return std::find(mended.begin(), mended.end(), m.image) != mended.end();
    });
    return mended;
}
