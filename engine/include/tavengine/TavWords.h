// The command word and the image encoding word of a job: bit layout and helpers.
#pragma once
#include <cstdint>
#include <string>

#include "tavengine/TavEngineExport.h"

// Command word, top four bits: what a run does.
constexpr uint32_t TAV_CMD_MASK = 0xF0000000;
constexpr uint32_t TAV_CMD_BACKUP = 0x10000000;
constexpr uint32_t TAV_CMD_RESTORE = 0x20000000;

// Command word, bits 12-15: the backup type.
constexpr uint32_t TAV_BKTYPE_MASK = 0x0000F000;
constexpr uint32_t TAV_BKTYPE_FULL = 0x00001000;
constexpr uint32_t TAV_BKTYPE_INCREMENTAL = 0x00002000;
constexpr uint32_t TAV_BKTYPE_INCREMENTAL_ALT = 0x00003000;  // read as incremental

// Backup conditions (low bits of a backup command word).
constexpr uint32_t TAV_COND_SIZE = 0x0001;  // update when the size changed
constexpr uint32_t TAV_COND_DATE = 0x0004;  // update when the written time changed
constexpr uint32_t TAV_COND_NEWFILE_MASK = 0x0030;
constexpr uint32_t TAV_COND_NEWFILE_ALWAYS = 0x0010;
constexpr uint32_t TAV_COND_NEWFILE_IGNORE = 0x0020;
constexpr uint32_t TAV_COND_NEWFILE_ALLSELECTED = 0x0030;
constexpr uint32_t TAV_COND_NO_ARCHIVE = 0x0100;  // do not check the archive attribute
constexpr uint32_t TAV_COND_EDITABLE = 0x0135;    // the bits the condition dialog owns

// Restore options (low bits of a restore command word).
constexpr uint32_t TAV_RS_OVERWRITE_SIZE = 0x00000001;
constexpr uint32_t TAV_RS_OVERWRITE_OLDER = 0x00000004;
constexpr uint32_t TAV_RS_SUBFOLDERS = 0x00000008;
constexpr uint32_t TAV_RS_VERBOSE = 0x00000200;
constexpr uint32_t TAV_RS_SET_TIMES = 0x00010000;
constexpr uint32_t TAV_RS_OVERWRITE_ALWAYS = 0x00020000;
constexpr uint32_t TAV_RS_VERIFY = 0x00040000;
// Works out what a restore would write, replace or keep, and logs it; writes nothing.
// Engines that do not know the bit must not be run with it.
constexpr uint32_t TAV_RS_DRY_RUN = 0x00080000;

// The backup command word of a new job: update on size or date change, always add new
// files, incremental.
constexpr uint32_t TAV_DEFAULT_BACKUP_COMMAND =
    TAV_COND_SIZE | TAV_COND_DATE | TAV_COND_NEWFILE_ALWAYS | TAV_BKTYPE_INCREMENTAL;

// Image encoding word: bits 0-3 the compression level (0 none, 1-9 deflate levels, 15 the
// default level; 10-14 are read as the default level), bits 4-7 the encryption (0x10:
// AES-128 with the built-in key).
constexpr uint32_t TAV_ENC_LEVEL_MASK = 0x0F;
constexpr uint32_t TAV_ENC_DEFAULT_LEVEL = 0x0F;
constexpr uint32_t TAV_ENC_CRYPT_MASK = 0xF0;
constexpr uint32_t TAV_ENC_AES = 0x10;
// Bits 8-11 the compression method (0 deflate, 1 zstd) and, for zstd, bits 12-16 its level
// (0: the default level 3). A zstd job keeps a non-zero level in bits 0-3, so that programs
// that know only deflate read it as "deflate, default level".
constexpr uint32_t TAV_ENC_METHOD_MASK = 0xF00;
constexpr uint32_t TAV_ENC_METHOD_ZSTD = 0x100;
constexpr unsigned TAV_ENC_ZSTD_LEVEL_SHIFT = 12;
constexpr uint32_t TAV_ENC_ZSTD_LEVEL_MASK = 0x1F000;
constexpr int32_t TAV_ZSTD_MAX_LEVEL = 19;
constexpr uint32_t TAV_DEFAULT_ENCODING = TAV_ENC_AES | TAV_ENC_DEFAULT_LEVEL;  // 31

// Command word helpers.
constexpr uint32_t SetTavCmd(uint32_t word, uint32_t command) {
    return (word & ~TAV_CMD_MASK) | (command & TAV_CMD_MASK);
}
constexpr uint32_t SetBkType(uint32_t word, uint32_t type) {
    return (word & ~TAV_BKTYPE_MASK) | (type & TAV_BKTYPE_MASK);
}
constexpr bool IsFullBackup(uint32_t word) { return (word & TAV_BKTYPE_MASK) == TAV_BKTYPE_FULL; }

// Encoding word helpers.
constexpr bool EncodingCompresses(uint32_t encoding) {
    return (encoding & TAV_ENC_LEVEL_MASK) != 0;
}
constexpr bool EncodingEncrypts(uint32_t encoding) {
    return (encoding & TAV_ENC_CRYPT_MASK) == TAV_ENC_AES;
}
constexpr bool EncodingUsesZstd(uint32_t encoding) {
    return EncodingCompresses(encoding) && (encoding & TAV_ENC_METHOD_MASK) == TAV_ENC_METHOD_ZSTD;
}
// The zstd level of a zstd encoding word: 1-19, or -1 for the default.
constexpr int32_t EncodingZstdLevel(uint32_t encoding) {
    const int32_t level = int32_t((encoding & TAV_ENC_ZSTD_LEVEL_MASK) >> TAV_ENC_ZSTD_LEVEL_SHIFT);
    return level >= 1 && level <= TAV_ZSTD_MAX_LEVEL ? level : -1;
}
// A zstd encoding word (`level` 1-19, or -1 for the default), keeping the encryption bits.
constexpr uint32_t ZstdEncoding(int32_t level, bool encrypt) {
    return TAV_ENC_DEFAULT_LEVEL | TAV_ENC_METHOD_ZSTD | (encrypt ? TAV_ENC_AES : 0) |
           (level >= 1 && level <= TAV_ZSTD_MAX_LEVEL ? uint32_t(level) << TAV_ENC_ZSTD_LEVEL_SHIFT : 0);
}
// The deflate level for the repository: 1-9 as given, -1 (zlib's default) for 10-15.
constexpr int32_t EncodingLevel(uint32_t encoding) {
    const uint32_t low = encoding & TAV_ENC_LEVEL_MASK;
    return (low >= 1 && low <= 9) ? int32_t(low) : -1;
}

// "Full", "Incremental" (0x2000 and 0x3000) or "Unknown", from the word's type field.
TAVENGINE_API std::string GetBackupTypeName(uint32_t word);
