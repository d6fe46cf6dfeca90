// Encoding and decoding of the folder and identity records, field by field.
#include "core/OeRecords.h"

#include "core/DbxBytes.h"
#include "tavrep/FormatAdaptor.h"

namespace {

constexpr size_t FOLDER_VERSION = 0;
constexpr size_t FOLDER_ID = 4;
constexpr size_t FOLDER_MESSAGES = 8;
constexpr size_t FOLDER_UNREAD = 12;
constexpr size_t FOLDER_ACTIVE = 16;
constexpr size_t FOLDER_NAME = 20;
constexpr size_t FOLDER_PARENT = 148;
constexpr size_t IDENTITY_VERSION = 0;
constexpr size_t IDENTITY_NAME = 4;

// Writes `chars` UTF-16 units (the text and its zero fill) little-endian.
void StoreWide(uint8_t* out, const std::string& text, size_t chars) {
    char16_t field[OE_IDENTITY_NAME_CHARS + 1] = {};
    Utf8ToUtf16Field(text, field, chars);
    for (size_t i = 0; i < chars; ++i) {
        out[2 * i] = uint8_t(field[i]);
        out[2 * i + 1] = uint8_t(field[i] >> 8);
    }
}

// Reads at most `chars` UTF-16 units, up to the first zero.
std::string LoadWide(const uint8_t* in, size_t chars) {
    char16_t field[OE_IDENTITY_NAME_CHARS + 1] = {};
    for (size_t i = 0; i < chars; ++i) field[i] = char16_t(DbxLoadU16(in + 2 * i));
    return Utf16FieldToUtf8(field, chars);
}

}  // namespace

std::array<uint8_t, OE_FOLDER_RECORD_SIZE> EncodeFolderRecord(const OeFolderRecord& record) {
    std::array<uint8_t, OE_FOLDER_RECORD_SIZE> out{};
    DbxStoreU32(out.data() + FOLDER_VERSION, record.version);
    DbxStoreU32(out.data() + FOLDER_ID, record.folderId);
    DbxStoreU32(out.data() + FOLDER_MESSAGES, record.messages);
    DbxStoreU32(out.data() + FOLDER_UNREAD, record.unread);
    DbxStoreU32(out.data() + FOLDER_ACTIVE, record.active);
    // 64 units: the 63 characters of the name and the two zero bytes at 146.
    StoreWide(out.data() + FOLDER_NAME, record.name, OE_FOLDER_NAME_CHARS + 1);
    DbxStoreU32(out.data() + FOLDER_PARENT, record.parentId);
    return out;
}

std::optional<OeFolderRecord> DecodeFolderRecord(const uint8_t* bytes, size_t size) {
    if (bytes == nullptr || size < OE_FOLDER_RECORD_SIZE) return std::nullopt;
    OeFolderRecord record;
    record.version = DbxLoadU32(bytes + FOLDER_VERSION);
    record.folderId = DbxLoadU32(bytes + FOLDER_ID);
    record.messages = DbxLoadU32(bytes + FOLDER_MESSAGES);
    record.unread = DbxLoadU32(bytes + FOLDER_UNREAD);
    record.active = DbxLoadU32(bytes + FOLDER_ACTIVE);
    record.name = LoadWide(bytes + FOLDER_NAME, OE_FOLDER_NAME_CHARS);
    record.parentId = DbxLoadU32(bytes + FOLDER_PARENT);
    return record;
}

std::array<uint8_t, OE_IDENTITY_RECORD_SIZE> EncodeIdentityRecord(const OeIdentityRecord& record) {
    std::array<uint8_t, OE_IDENTITY_RECORD_SIZE> out{};
    DbxStoreU32(out.data() + IDENTITY_VERSION, record.version);
    StoreWide(out.data() + IDENTITY_NAME, record.displayName, OE_IDENTITY_NAME_CHARS);
    return out;
}

std::optional<OeIdentityRecord> DecodeIdentityRecord(const uint8_t* bytes, size_t size) {
    if (bytes == nullptr || size < OE_IDENTITY_RECORD_SIZE) return std::nullopt;
    OeIdentityRecord record;
    record.version = DbxLoadU32(bytes + IDENTITY_VERSION);
    record.displayName = LoadWide(bytes + IDENTITY_NAME, OE_IDENTITY_NAME_CHARS);
    return record;
}
