// Message stores and folder lists written for the viewer and export tests.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "core/DbxException.h"
#include "core/DbxFolderRecord.h"
#include "core/DbxMemoryInput.h"
#include "core/DbxMessageRecord.h"
#include "modules/oe/DbxWriter.h"

namespace dbxtest {

// The message of the DbxException `call` throws, "no error" when it throws none; the
// error's offset goes to `at`.
template <typename F>
std::string Thrown(F&& call, uint64_t* at = nullptr) {
    try {
        call();
    } catch (const DbxException& e) {
        if (at) *at = e.Offset();
        return e.Message();
    }
    return "no error";
}

// The message of the error that reading a `Reader` (a record, a message text) at `offset` of
// `bytes` throws.
template <typename Reader>
std::string ReadError(const std::vector<uint8_t>& bytes, uint32_t offset, uint64_t* at = nullptr) {
    DbxMemoryInput input(bytes);
    return Thrown([&] { Reader reader(input, offset); }, at);
}

// A real store of the shared test data ($TAV_TESTDATA/dbx/<name>).
inline std::string DataPath(const std::string& name) {
    const char* root = std::getenv("TAV_TESTDATA");
    return std::string(root ? root : "../shared/testdata") + "/dbx/" + name;
}

// FILETIME ticks of a moment given in seconds since 1970 (UTC).
inline uint64_t Ticks(int64_t unixSeconds) {
    return uint64_t(unixSeconds + 11644473600LL) * 10000000ULL;
}

// One message to write; a field left nullopt is not written at all.
struct Message {
    std::optional<std::string> from, to, subject, plainSubject, account;
    std::optional<uint64_t> received = Ticks(1018744077);  // 2002-04-14 00:27:57 UTC
    std::optional<std::string> text = std::string("Subject: x\r\n\r\nbody\r\n");
    uint32_t flags = 0;
    uint32_t blockSize = 512;
};

// A store holding the messages in order (their records in a tree of `perNode` entries per
// node). `offsets` receives the record offsets and `writer`, when given, the writer
// itself for damage.
inline std::vector<uint8_t> BuildStore(const std::vector<Message>& messages,
                                       std::vector<uint32_t>* offsets = nullptr,
                                       uint32_t perNode = 51, CDbxWriter* writer = nullptr) {
    CDbxWriter local;
    CDbxWriter& w = writer ? *writer : local;
    std::vector<uint32_t> records;
    for (const Message& m : messages) {
        std::vector<DbxField> fields;
        fields.push_back(DbxField::Integer(0x00, uint32_t(records.size() + 1)));
        fields.push_back(DbxField::Integer(DBX_MESSAGE_FLAGS, m.flags));
        if (m.text)
            fields.push_back(
                DbxField::Integer(DBX_MESSAGE_TEXT, w.AddMessageText(*m.text, m.blockSize)));
        if (m.plainSubject)
            fields.push_back(DbxField::Text(DBX_MESSAGE_PLAIN_SUBJECT, *m.plainSubject));
        if (m.subject) fields.push_back(DbxField::Text(DBX_MESSAGE_SUBJECT, *m.subject));
        if (m.from) fields.push_back(DbxField::Text(DBX_MESSAGE_SENDER_ADDRESS, *m.from));
        if (m.received) fields.push_back(DbxField::Time(DBX_MESSAGE_RECEIVED, *m.received));
        if (m.to) fields.push_back(DbxField::Text(DBX_MESSAGE_RECEIVER_ADDRESS, *m.to));
        if (m.account) fields.push_back(DbxField::Text(DBX_MESSAGE_ACCOUNT, *m.account));
        records.push_back(w.AddRecord(fields));
    }
    w.SetMessageTree(w.AddTree(records, perNode), uint32_t(records.size()));
    if (offsets) *offsets = records;
    return w.Bytes();
}

struct Folder {
    uint32_t id = 0;
    uint32_t parent = 0;
    std::optional<std::string> name;
    std::optional<std::string> file;
    uint32_t flags = 1;
    uint32_t messages = 0;
    uint32_t unread = 0;
};

// A "folders.dbx" listing the folders in order (in a tree of `perNode` entries per node).
inline std::vector<uint8_t> BuildFolders(const std::vector<Folder>& folders, uint32_t perNode = 51) {
    CDbxWriter w;
    std::vector<uint32_t> records;
    for (const Folder& f : folders) {
        std::vector<DbxField> fields = {DbxField::Integer(DBX_FOLDER_ID, f.id),
                                        DbxField::Integer(DBX_FOLDER_PARENT_ID, f.parent)};
        if (f.name) fields.push_back(DbxField::Text(DBX_FOLDER_NAME, *f.name));
        if (f.file) fields.push_back(DbxField::Text(DBX_FOLDER_FILE_NAME, *f.file));
        fields.push_back(DbxField::Integer(DBX_FOLDER_FLAGS, f.flags));
        fields.push_back(DbxField::Integer(DBX_FOLDER_MESSAGES, f.messages));
        fields.push_back(DbxField::Integer(DBX_FOLDER_UNREAD, f.unread));
        records.push_back(w.AddRecord(fields));
    }
    w.SetFolderTree(w.AddTree(records, perNode), uint32_t(records.size()));
    return w.Bytes();
}

}  // namespace dbxtest
