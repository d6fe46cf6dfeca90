// On-disk records of both format versions and the working-file record.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "tavrep/FormatAdaptor.h"
#include "tavrep/TavRepository.h"

namespace {

uint32_t LE32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

TavNodeRec SampleNode() {
    TavNodeRec n;
    std::memset(&n, 0, sizeof(n));
    n.nodeId = 2 * 628;
    n.parentId = 628;
    n.firstChildId = TAV_NONE;
    n.nextSiblingId = 5 * 628;
    n.updateBaseline = 3;
    n.content = {2, 4000};
    n.extra = {1, 777};
    n.flags = NODE_HAS_FINGERPRINT | NODE_TOUCHED;
    Utf8ToUtf16Field("r\xC3\xA9sum\xC3\xA9.txt", n.name, NODE_NAME_CHARS);
    n.updateCount = 4;
    n.attributes = 0x21;
    n.sizeHigh = 1;
    n.sizeLow = 0x10;
    n.created = {11, 12};
    n.accessed = {13, 14};
    n.written = {15, 16};
    n.stamp = 1700000000;
    n.moduleId = MODULE_FILES_ITEM;
    n.chunkSize = 32768;
    for (int i = 0; i < 4; ++i) n.fingerprint[i] = 0x01020304u * (i + 1);
    return n;
}

}  // namespace

// A 2.1 node record field by field, and back; only known versions have an adaptor.
TEST(FormatAdaptor, Version21NodeLayoutRoundTripLongNamesAndTheWorkingRecord) {
    std::unique_ptr<CTavFormatAdaptor> a(MakeFormatAdaptor(FORMAT_2_1));
    ASSERT_TRUE(a);
    EXPECT_EQ(MakeFormatAdaptor(0x02030000), nullptr);
    EXPECT_EQ(a->NodeToDisk(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(a->LastMessage(), "Invalid parameters");
    ASSERT_EQ(a->NodeDiskSize(), 368u);
    TavNodeRec n = SampleNode();
    uint8_t disk[368];
    ASSERT_EQ(a->NodeToDisk(disk, &n, nullptr), 1);
    const std::pair<size_t, uint32_t> words[] = {
        {0, 2u * 368}, {4, 368u},  {8, TAV_NONE}, {12, 5u * 368},           {20, 2u},     {24, 4000u},
        {28, 1u},      {32, 777u}, {304, 0x21u},  {308, 1u},               {332, 15u},   {344, MODULE_FILES_ITEM},
        {348, 32768u}, {364, 0x01020304u * 4}};
    for (const auto& [at, value] : words) EXPECT_EQ(LE32(disk + at), value) << at;
    EXPECT_STREQ(reinterpret_cast<char*>(disk + 40), "r\xC3\xA9sum\xC3\xA9.txt");
    TavNodeRec back;
    ASSERT_EQ(a->NodeFromDisk(&back, disk), 1);
    EXPECT_EQ(std::memcmp(&back, &n, sizeof(n)), 0);

    // Long names are cut at 259 bytes.
    Utf8ToUtf16Field(std::string(300, 'x'), n.name, NODE_NAME_CHARS);
    a->NodeToDisk(disk, &n, nullptr);
    EXPECT_EQ(std::strlen(reinterpret_cast<char*>(disk + 40)), 259u);
    EXPECT_EQ(disk[40 + 259], 0);
    // A two-byte character is never split.
    Utf8ToUtf16Field(std::string(258, 'x') + "\xC3\xA9", n.name, NODE_NAME_CHARS);
    a->NodeToDisk(disk, &n, nullptr);
    EXPECT_EQ(std::strlen(reinterpret_cast<char*>(disk + 40)), 258u);
    TavNodeRec alt = SampleNode();
    Utf8ToUtf16Field(std::string(300, 'y'), n.name, NODE_NAME_CHARS);
    a->NodeToDisk(disk, &n, &alt);
    EXPECT_EQ(a->LastMessage(), "Name is too long, alternative name used.");
    EXPECT_STREQ(reinterpret_cast<char*>(disk + 40), "r\xC3\xA9sum\xC3\xA9.txt");

    // The working file's record, never stored: its round trip counts; and the id texts.
    const TavNodeRec sample = SampleNode();
    uint8_t raw[NODE_REC_SIZE];
    EncodeNodeRec(sample, raw);
    EXPECT_EQ(LE32(raw), 2u * 628);
    DecodeNodeRec(raw, back);
    EXPECT_EQ(std::memcmp(&back, &sample, sizeof(sample)), 0);
    char text[9];
    NodeIdToString(628, text);
    EXPECT_STREQ(text, "00000274");
    EXPECT_EQ(NodeIdFromString("00000274"), 628u);
    EXPECT_EQ(NodeIdFromString("zz"), TAV_NONE);
}

TEST(FormatAdaptor, Version20NodeDefaultsAndRootsAndBaselineHeadersOfBothVersions) {
    std::unique_ptr<CTavFormatAdaptor> a(MakeFormatAdaptor(FORMAT_2_0));
    ASSERT_EQ(a->NodeDiskSize(), 344u);
    uint8_t disk[344] = {};
    Put32(disk + 0, 344);
    Put32(disk + 4, TAV_NONE);
    Put32(disk + 8, 2 * 344);
    Put32(disk + 12, TAV_NONE);
    Put32(disk + 28, 99);  // not part of a 2.0 record
    std::strcpy(reinterpret_cast<char*>(disk + 40), "C:\\");
    Put32(disk + 340, 42);
    TavNodeRec n;
    ASSERT_EQ(a->NodeFromDisk(&n, disk), 1);
    EXPECT_EQ(n.nodeId, 628u);
    EXPECT_EQ(n.firstChildId, 2u * 628);
    EXPECT_EQ(n.extra, (TavPosition{0, 0}));
    EXPECT_EQ(n.chunkSize, 65536u);
    EXPECT_EQ(n.moduleId, MODULE_FILES_ROOT);
    EXPECT_EQ(Utf16FieldToUtf8(n.name, NODE_NAME_CHARS), "Files and Folders");
    EXPECT_EQ(n.stamp, 42u);
    Put32(disk + 4, 0);
    a->NodeFromDisk(&n, disk);
    EXPECT_EQ(n.moduleId, MODULE_FILES_ITEM);
    EXPECT_EQ(Utf16FieldToUtf8(n.name, NODE_NAME_CHARS), "C:\\");

    // Baseline headers of both versions.
    TavBaselineHeaderRec h{};
    h.image = 3;
    h.nodeTable = 5000;
    h.number = 7;
    Utf8ToUtf16Field("Scheduled Backup", h.name, 64);
    Utf8ToUtf16Field("nightly", h.description, 512);
    h.time = 1700000000;
    h.type = 0x10001000;
    std::unique_ptr<CTavFormatAdaptor> a21(MakeFormatAdaptor(FORMAT_2_1));
    ASSERT_EQ(a21->HeaderDiskSize(), 612u);
    uint8_t d21[612];
    a21->HeaderToDisk(d21, &h);
    EXPECT_STREQ(reinterpret_cast<char*>(d21 + 12), "Scheduled Backup");
    EXPECT_EQ(LE32(d21 + 76), 1700000000u);
    EXPECT_EQ(LE32(d21 + 80), 0x10001000u);
    EXPECT_STREQ(reinterpret_cast<char*>(d21 + 100), "nightly");
    TavBaselineHeaderRec back;
    a21->HeaderFromDisk(&back, d21);
    EXPECT_EQ(std::memcmp(&back, &h, sizeof(h)), 0);

    std::unique_ptr<CTavFormatAdaptor> a20(MakeFormatAdaptor(FORMAT_2_0));
    ASSERT_EQ(a20->HeaderDiskSize(), 604u);
    uint8_t d20[604];
    a20->HeaderToDisk(d20, &h);
    EXPECT_EQ(LE32(d20 + 88), 1u);
    EXPECT_STREQ(reinterpret_cast<char*>(d20 + 92), "nightly");
    a20->HeaderFromDisk(&back, d20);
    EXPECT_EQ(back.type, 0x10001000u);
    Put32(d20 + 88, 0);
    a20->HeaderFromDisk(&back, d20);
    EXPECT_EQ(back.type, 0x10002000u);
}
