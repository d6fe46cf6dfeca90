// Filling security records and the password digest.
#include "tavrep/TavSecurity.h"

#include <cstring>

#include "tavrep/MD5Checksum.h"
#include "tavrep/TavRepository.h"

bool PasswordFits(const char* password) {
    return password == nullptr || std::strlen(password) <= TAV_PASSWORD_MAX_BYTES;
}

int InitTavImageSecure(TavImageSecurity* record, const char* password, uint32_t compression,
                       int32_t level, uint32_t encryption, uint32_t maxImageSize) {
    if (record == nullptr) return 0;
    std::memset(record, 0, sizeof(*record));
    record->compression = compression;
    record->level = level;
    record->encryption = encryption;
    record->maxImageSize = maxImageSize;
    if (!PasswordFits(password)) return 0;
    record->hasPassword = password != nullptr ? 1 : 0;
    if (password != nullptr) std::memcpy(record->password, password, std::strlen(password));
    return 1;
}

TavImageSecurity* CreateTavImageSecure(const char* password, uint32_t compression, int32_t level,
                                       uint32_t encryption, uint32_t maxImageSize) {
    if (!PasswordFits(password)) return nullptr;
    auto* record = new TavImageSecurity;
    InitTavImageSecure(record, password, compression, level, encryption, maxImageSize);
    return record;
}

// The digest covers the 128-byte field: the UTF-8 password, its terminator, zeros.
int CTavRepository::CreatePwdDigest(const char* password, uint8_t out[16]) {
    if (!PasswordFits(password)) return 0;
    uint8_t field[TAV_PASSWORD_FIELD] = {};
    if (password != nullptr) std::memcpy(field, password, std::strlen(password));
    CMD5Checksum::Hash(field, sizeof(field), out);
    return 1;
}
