// TavFindData: what the suite knows of one directory entry (the design's find data).
#pragma once
#include <cstdint>
#include <string>

// FILETIME: 100 ns ticks since 1601-01-01 UTC, as two 32-bit words.
struct TavFileTime {
    uint32_t low = 0;
    uint32_t high = 0;
    uint64_t Ticks() const { return (uint64_t(high) << 32) | low; }
    static TavFileTime FromTicks(uint64_t t) { return {uint32_t(t), uint32_t(t >> 32)}; }
    friend bool operator==(const TavFileTime&, const TavFileTime&) = default;
};

constexpr uint32_t TAV_ATTR_READONLY = 0x01;
constexpr uint32_t TAV_ATTR_DIRECTORY = 0x10;
constexpr uint32_t TAV_ATTR_ARCHIVE = 0x20;
constexpr uint32_t TAV_ATTR_REPARSE_POINT = 0x400;  // a symbolic link

// Kind of a directory entry beyond the attributes.
enum class TavFileKind : uint8_t { Regular, Directory, Symlink, Other };

struct TavFindData {
    uint32_t attributes = 0;
    TavFileTime created;
    TavFileTime accessed;
    TavFileTime written;
    uint32_t sizeHigh = 0;
    uint32_t sizeLow = 0;
    std::string name;  // the entry's name (no folder), UTF-8
    uint32_t mode = 0;  // POSIX mode bits (permissions and type)
    uint32_t uid = 0;
    uint32_t gid = 0;
    TavFileKind kind = TavFileKind::Regular;
    std::string linkTarget;  // the target text of a symbolic link

    uint64_t Size() const { return (uint64_t(sizeHigh) << 32) | sizeLow; }
    void SetSize(uint64_t s) {
        sizeHigh = uint32_t(s >> 32);
        sizeLow = uint32_t(s);
    }
};
