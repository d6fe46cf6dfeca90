#include "modules/oe/DbxWriter.h"

#include <algorithm>
#include <stdexcept>

#include "core/DbxHeader.h"
#include "core/DbxIndexTree.h"
#include "core/DbxMessageText.h"
#include "core/DbxRecord.h"

namespace {
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
}  // namespace

DbxField DbxField::Integer(uint8_t index, uint32_t value) {
    DbxField f{index, false, {}};
    Put32(f.data, value);
    return f;
}

DbxField DbxField::Direct(uint8_t index, uint32_t value) {
    return {index, true, {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16)}};
}

DbxField DbxField::Text(uint8_t index, const std::string& text) {
    DbxField f{index, false, std::vector<uint8_t>(text.begin(), text.end())};
    f.data.push_back(0);
    return f;
}

DbxField DbxField::Raw(uint8_t index, std::vector<uint8_t> bytes) {
    return {index, false, std::move(bytes)};
}

DbxField DbxField::Time(uint8_t index, uint64_t fileTime) {
    DbxField f{index, false, {}};
    Put32(f.data, uint32_t(fileTime));
    Put32(f.data, uint32_t(fileTime >> 32));
    return f;
}

CDbxWriter::CDbxWriter() : m_bytes(DBX_HEADER_SIZE, 0) {
    // The signature Outlook Express writes; the reader does not check it.
    const uint8_t signature[8] = {0xCF, 0xAD, 0x12, 0xFE, 0xC5, 0xFD, 0x74, 0x6F};
    std::copy(signature, signature + 8, m_bytes.begin());
}

uint32_t CDbxWriter::AppendZeros(uint32_t count) {
    const uint32_t at = Size();
    m_bytes.resize(m_bytes.size() + count, 0);
    return at;
}

uint32_t CDbxWriter::GetU32(uint32_t offset) const {
    if (offset + 4 > m_bytes.size()) throw std::out_of_range("CDbxWriter::GetU32");
    return uint32_t(m_bytes[offset]) | (uint32_t(m_bytes[offset + 1]) << 8) |
           (uint32_t(m_bytes[offset + 2]) << 16) | (uint32_t(m_bytes[offset + 3]) << 24);
}

void CDbxWriter::SetU32(uint32_t offset, uint32_t value) {
    if (offset + 4 > m_bytes.size()) throw std::out_of_range("CDbxWriter::SetU32");
    for (int i = 0; i < 4; ++i) m_bytes[offset + i] = uint8_t(value >> (8 * i));
}

void CDbxWriter::SetU8(uint32_t offset, uint8_t value) { m_bytes.at(offset) = value; }

void CDbxWriter::SetMessageTree(uint32_t root, uint32_t count) {
    SetU32(DBX_HEADER_MESSAGE_ROOT, root);
    SetU32(DBX_HEADER_MESSAGE_COUNT, count);
}

void CDbxWriter::SetFolderTree(uint32_t root, uint32_t count) {
    SetU32(DBX_HEADER_FOLDER_ROOT, root);
    SetU32(DBX_HEADER_FOLDER_COUNT, count);
}

uint32_t CDbxWriter::AddRecord(const std::vector<DbxField>& fields) {
    std::vector<uint8_t> entries;
    std::vector<uint8_t> data;
    for (const DbxField& f : fields) {
        if (f.direct) {
            entries.push_back(uint8_t(f.index | 0x80));
            for (size_t i = 0; i < 3; ++i) entries.push_back(i < f.data.size() ? f.data[i] : 0);
        } else {
            const uint32_t value = uint32_t(data.size());
            entries.push_back(f.index);
            entries.push_back(uint8_t(value));
            entries.push_back(uint8_t(value >> 8));
            entries.push_back(uint8_t(value >> 16));
            data.insert(data.end(), f.data.begin(), f.data.end());
        }
    }
    const uint32_t at = Size();
    Put32(m_bytes, at);
    Put32(m_bytes, uint32_t(entries.size() + data.size()));
    m_bytes.push_back(0);
    m_bytes.push_back(0);
    m_bytes.push_back(uint8_t(fields.size()));
    m_bytes.push_back(0);
    m_bytes.insert(m_bytes.end(), entries.begin(), entries.end());
    m_bytes.insert(m_bytes.end(), data.begin(), data.end());
    return at;
}

uint32_t CDbxWriter::AddMessageText(const std::string& text, uint32_t blockSize,
                                    std::vector<uint32_t>* blocks) {
    std::vector<uint32_t> offsets;
    size_t done = 0;
    do {
        const size_t n = std::min<size_t>(blockSize, text.size() - done);
        const uint32_t at = AppendZeros(DBX_TEXT_BLOCK_HEADER_SIZE + uint32_t(n));
        SetU32(at, at);
        SetU32(at + 4, blockSize);
        SetU32(at + 8, uint32_t(n));
        std::copy(text.begin() + done, text.begin() + done + n,
                  m_bytes.begin() + at + DBX_TEXT_BLOCK_HEADER_SIZE);
        if (!offsets.empty()) SetU32(offsets.back() + 12, at);
        offsets.push_back(at);
        done += n;
    } while (done < text.size());
    if (blocks) *blocks = offsets;
    return offsets.front();
}

uint32_t CDbxWriter::ReserveNode() { return AppendZeros(DBX_NODE_SIZE); }

void CDbxWriter::WriteNode(uint32_t at, uint32_t parent, uint32_t child, uint32_t childCount,
                           const std::vector<DbxNodeEntry>& entries) {
    SetU32(at, at);
    SetU32(at + 0x08, child);
    SetU32(at + 0x0C, parent);
    SetU8(at + 0x11, uint8_t(entries.size()));
    SetU32(at + 0x14, childCount);
    for (size_t i = 0; i < entries.size() && i < DBX_NODE_MAX_ENTRIES; ++i) {
        const uint32_t e = at + 0x18 + uint32_t(i) * 12;
        SetU32(e, entries[i].record);
        SetU32(e + 4, entries[i].child);
        SetU32(e + 8, entries[i].childCount);
    }
}

uint32_t CDbxWriter::AddTree(const std::vector<uint32_t>& records, uint32_t perNode,
                             std::vector<uint32_t>* nodes) {
    if (records.empty()) return 0;
    return BuildNode(0, records.data(), uint32_t(records.size()), perNode, nodes);
}

// A node takes up to `perNode` records as entries; the rest are shared out, as evenly as
// possible, among the child before its first entry and the child after each entry.
uint32_t CDbxWriter::BuildNode(uint32_t parent, const uint32_t* records, uint32_t count,
                               uint32_t perNode, std::vector<uint32_t>* nodes) {
    const uint32_t at = ReserveNode();
    if (nodes) nodes->push_back(at);
    const uint32_t entryCount = std::min(count, perNode);
    const uint32_t rest = count - entryCount;
    const uint32_t groups = entryCount + 1;
    auto groupSize = [&](uint32_t g) { return rest / groups + (g < rest % groups ? 1 : 0); };

    uint32_t pos = 0;
    uint32_t child = 0;
    const uint32_t childCount = groupSize(0);
    if (childCount > 0) child = BuildNode(at, records, childCount, perNode, nodes);
    pos += childCount;
    std::vector<DbxNodeEntry> entries;
    for (uint32_t e = 0; e < entryCount; ++e) {
        DbxNodeEntry entry;
        entry.record = records[pos++];
        entry.childCount = groupSize(e + 1);
        if (entry.childCount > 0)
            entry.child = BuildNode(at, records + pos, entry.childCount, perNode, nodes);
        pos += entry.childCount;
        entries.push_back(entry);
    }
    WriteNode(at, parent, child, childCount, entries);
    return at;
}
