// The command host's records in their byte layouts.
#include "tavhost/HostRecords.h"

#include <cstdio>

#include "tavhost/HostMessages.h"
#include "tavrep/FormatAdaptor.h"

namespace tavhost {

namespace {

void PutText(std::vector<uint8_t>& out, size_t offset, size_t bytes, const std::string& text) {
    std::vector<char16_t> field(bytes / 2, 0);
    Utf8ToUtf16Field(text, field.data(), field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        out[offset + 2 * i] = uint8_t(field[i] & 0xFF);
        out[offset + 2 * i + 1] = uint8_t(field[i] >> 8);
    }
}

void PutU32(std::vector<uint8_t>& out, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[offset + size_t(i)] = uint8_t(value >> (8 * i));
}

uint32_t GetU32(const std::vector<uint8_t>& in, size_t offset) {
    return uint32_t(in[offset]) | uint32_t(in[offset + 1]) << 8 | uint32_t(in[offset + 2]) << 16 |
           uint32_t(in[offset + 3]) << 24;
}

// A text field; false when it has no terminator.
bool GetText(const std::vector<uint8_t>& in, size_t offset, size_t bytes, std::string& text) {
    std::vector<char16_t> field(bytes / 2);
    bool terminated = false;
    for (size_t i = 0; i < field.size(); ++i) {
        field[i] = char16_t(in[offset + 2 * i] | in[offset + 2 * i + 1] << 8);
        terminated = terminated || field[i] == 0;
    }
    if (!terminated) return false;
    text = Utf16FieldToUtf8(field.data(), field.size());
    return true;
}

bool Fail(std::string& error, const char* what, size_t size = 0) {
    char text[160];
    std::snprintf(text, sizeof text, what, size);
    error = text;
    return false;
}

}  // namespace

std::string CutChars(std::string_view text, size_t chars) {
    if (text.size() <= chars) return std::string(text);  // no more characters than bytes
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;  // continuation byte
        if (count == chars) return std::string(text.substr(0, i));
        ++count;
    }
    return std::string(text);
}

std::vector<uint8_t> EncodeJobRecord(const HostJobRecord& record) {
    std::vector<uint8_t> out(JOB_RECORD_BYTES, 0);
    PutText(out, JOB_TYPE_TITLE_OFFSET, JOB_KIND_OFFSET - JOB_TYPE_TITLE_OFFSET, record.typeTitle);
    PutText(out, JOB_KIND_OFFSET, JOB_IMAGE_PATH_OFFSET - JOB_KIND_OFFSET, record.jobKind);
    PutText(out, JOB_IMAGE_PATH_OFFSET, JOB_START_TEXT_OFFSET - JOB_IMAGE_PATH_OFFSET, record.imagePath);
    PutText(out, JOB_START_TEXT_OFFSET, JOB_RUN_STATE_OFFSET - JOB_START_TEXT_OFFSET, record.startText);
    PutU32(out, JOB_RUN_STATE_OFFSET, record.runState);
    return out;
}

std::vector<uint8_t> EncodeStatusRecord(const HostStatusRecord& record) {
    std::vector<uint8_t> out(STATUS_RECORD_BYTES, 0);
    PutText(out, STATUS_TITLE_OFFSET, STATUS_ITEM_OFFSET - STATUS_TITLE_OFFSET, record.title);
    PutText(out, STATUS_ITEM_OFFSET, STATUS_PERCENT_OFFSET - STATUS_ITEM_OFFSET, record.item);
    PutU32(out, STATUS_PERCENT_OFFSET, record.percent > 100 ? 100 : record.percent);
    return out;
}

std::vector<uint8_t> EncodeLogRecord(const HostLogRecord& record) {
    std::vector<uint8_t> out(LOG_RECORD_BYTES, 0);
    PutText(out, 0, LOG_RECORD_BYTES, record.text);
    return out;
}

bool DecodeJobRecord(const std::vector<uint8_t>& bytes, HostJobRecord& record, std::string& error) {
    if (bytes.size() != JOB_RECORD_BYTES)
        return Fail(error, "a job record has 2436 bytes, not %zu", bytes.size());
    HostJobRecord r;
    if (!GetText(bytes, JOB_TYPE_TITLE_OFFSET, JOB_KIND_OFFSET - JOB_TYPE_TITLE_OFFSET, r.typeTitle) ||
        !GetText(bytes, JOB_KIND_OFFSET, JOB_IMAGE_PATH_OFFSET - JOB_KIND_OFFSET, r.jobKind) ||
        !GetText(bytes, JOB_IMAGE_PATH_OFFSET, JOB_START_TEXT_OFFSET - JOB_IMAGE_PATH_OFFSET, r.imagePath) ||
        !GetText(bytes, JOB_START_TEXT_OFFSET, JOB_RUN_STATE_OFFSET - JOB_START_TEXT_OFFSET, r.startText))
        return Fail(error, "a text of the job record has no terminator");
    r.runState = GetU32(bytes, JOB_RUN_STATE_OFFSET);
    if (r.runState > RUN_STATE_CANCELLED) return Fail(error, "the job record's run state %zu is unknown", r.runState);
    record = std::move(r);
    return true;
}

bool DecodeStatusRecord(const std::vector<uint8_t>& bytes, HostStatusRecord& record, std::string& error) {
    if (bytes.size() != STATUS_RECORD_BYTES)
        return Fail(error, "a status record has 1284 bytes, not %zu", bytes.size());
    HostStatusRecord r;
    if (!GetText(bytes, STATUS_TITLE_OFFSET, STATUS_ITEM_OFFSET - STATUS_TITLE_OFFSET, r.title) ||
        !GetText(bytes, STATUS_ITEM_OFFSET, STATUS_PERCENT_OFFSET - STATUS_ITEM_OFFSET, r.item))
        return Fail(error, "a text of the status record has no terminator");
    r.percent = GetU32(bytes, STATUS_PERCENT_OFFSET);
    if (r.percent > 100) return Fail(error, "the status record's percent %zu is above 100", r.percent);
    record = std::move(r);
    return true;
}

namespace {
std::string TitleWith(const char* format, const std::string& imagePath) {
    std::string title(format);
    return title.replace(title.find("%s"), 2, imagePath);
}
}  // namespace

std::string HostTitleForImage(const std::string& imagePath) { return TitleWith(HOST_TITLE_BACKUP, imagePath); }

std::string HostRestoreTitleForImage(const std::string& imagePath) {
    return TitleWith(HOST_TITLE_RESTORE, imagePath);
}

std::string HostLockName(const char* format, uint32_t id) {
    char text[64];
    std::snprintf(text, sizeof text, format, static_cast<unsigned>(id));
    return text;
}

}  // namespace tavhost
