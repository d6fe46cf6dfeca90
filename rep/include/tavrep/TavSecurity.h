// Filling the security record that carries a password and storage parameters.
#pragma once
#include <cstdint>

#include "tavrep/TavTypes.h"

constexpr uint32_t TAV_PASSWORD_FIELD = 128;
constexpr uint32_t TAV_DEFAULT_IMAGE_SIZE = 0x7FFFFFFF;
// A password whose UTF-8 form with its terminator does not fit the 128-byte field is
// refused by every function below the same way.
constexpr size_t TAV_PASSWORD_MAX_BYTES = TAV_PASSWORD_FIELD - 1;

// Fills `record`; returns 1, or 0 (record zeroed, no password) when the password is
// longer than TAV_PASSWORD_MAX_BYTES.
TAVREP_API int InitTavImageSecure(TavImageSecurity* record, const char* password,
                                  uint32_t compression, int32_t level, uint32_t encryption,
                                  uint32_t maxImageSize);
// Allocates and fills a record (delete it with delete); null for an overlong password.
TAVREP_API TavImageSecurity* CreateTavImageSecure(const char* password, uint32_t compression,
                                                  int32_t level, uint32_t encryption,
                                                  uint32_t maxImageSize);
TAVREP_API bool PasswordFits(const char* password);
