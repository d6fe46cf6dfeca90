// Small helpers of the shared records: chunk sizes and node id texts.
#include "tavrep/TavTypes.h"

namespace {

constexpr uint32_t MIN_CHUNK_SIZE = 1024;
constexpr uint32_t MAX_CHUNK_SIZE = 65536;
constexpr int NODE_ID_DIGITS = 8;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

uint32_t VerifyChunkSize(uint32_t n) {
    if (n == 0 || n > MAX_CHUNK_SIZE) return MAX_CHUNK_SIZE;
    if (n < MIN_CHUNK_SIZE) return MIN_CHUNK_SIZE;
    return n;
}

void NodeIdToString(uint32_t id, char out[9]) {
    static constexpr char DIGITS[] = "0123456789ABCDEF";
    for (int i = NODE_ID_DIGITS - 1; i >= 0; --i) {
        out[i] = DIGITS[id & 0xF];
        id >>= 4;
    }
    out[NODE_ID_DIGITS] = '\0';
}

// One to eight hex digits of either case, optionally behind the '#' of the XML form;
// anything else (empty, other characters, more digits) is not a node id.
uint32_t NodeIdFromString(const char* text) {
    if (!text) return TAV_NONE;
    if (*text == '#') ++text;
    uint32_t value = 0;
    int digits = 0;
    for (; *text; ++text, ++digits) {
        const int v = HexValue(*text);
        if (v < 0 || digits == NODE_ID_DIGITS) return TAV_NONE;
        value = (value << 4) | uint32_t(v);
    }
    return digits == 0 ? TAV_NONE : value;
}
