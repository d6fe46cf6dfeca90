// CTavRepository: password verification and change.
#include <cstring>

#include "ByteOrder.h"
#include "tavrep/TavRepository.h"
#include "tavrep/TavSecurity.h"

namespace {
const uint8_t NO_PASSWORD[16] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
bool IsEmpty(const char* password) { return password == nullptr || password[0] == 0; }
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

int CTavRepository::VerifyPassword(const char* password) {
    if (m_currentImage < 0 || m_entryImage < 0) return 0;
    uint8_t stored[16];
    if (!ReadDigest(uint32_t(m_entryImage), stored)) return 0;
    if (std::memcmp(stored, NO_PASSWORD, 16) == 0) return IsEmpty(password) ? 1 : 0;
    uint8_t digest[16];
    if (!CreatePwdDigest(password, digest)) return 0;
    return std::memcmp(digest, stored, 16) == 0 ? 1 : 0;
}

// Rewrites the digest of the current image and of the entry image (the one VerifyPassword
// reads), and makes it the digest that images started from now on carry.
int CTavRepository::ChangePassword(const char* oldPassword, const char* newPassword) {
    DropPrefetched();  // chunks read ahead are encoded with the password field as it is now
    try {
        if (!VerifyPassword(oldPassword)) return 0;
        uint8_t digest[16];
        if (IsEmpty(newPassword)) {
            std::memcpy(digest, NO_PASSWORD, 16);
        } else if (!CreatePwdDigest(newPassword, digest)) {
            return 0;
        }
        std::set<uint32_t> targets{uint32_t(m_currentImage), uint32_t(m_entryImage)};
        for (uint32_t id : targets) {
            CTavImage* image = GetImageFromID(id);
            if (image == nullptr || !image->UpdateBlock(SECURITY_BLOCK_OFFSET, digest, 16, 8)) return 0;
            image->ReleaseReadHandle();
        }
        std::memcpy(m_digest, digest, 16);
        return 1;
    } catch (CTavException* e) {
        e->Delete();
        return 0;
    }
}
