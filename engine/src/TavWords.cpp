// XML numbers and the names of the command word's backup types.
#include "tavengine/TavWords.h"

#include "EngineTexts.h"
#include "TextUtil.h"
#include "tavengine/XMLNode.h"

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string TavDword2Xml(uint32_t value) { return "#" + tavtext::Hex8(value); }

bool TryTavXml2Dword(std::string_view text, uint32_t& out) {
    if (text.empty()) return false;
    uint64_t value = 0;
    if (text[0] == '#') {
        text.remove_prefix(1);
        if (text.empty() || text.size() > 8) return false;
        for (char c : text) {
            const int d = HexDigit(c);
            if (d < 0) return false;
            value = value * 16 + uint64_t(d);
        }
    } else {
        if (text.size() > 10) return false;
        for (char c : text) {
            if (c < '0' || c > '9') return false;
            value = value * 10 + uint64_t(c - '0');
        }
        if (value > 0xFFFFFFFFull) return false;
    }
    out = uint32_t(value);
    return true;
}

uint32_t TavXml2Dword(std::string_view text, uint32_t defaultValue) {
    uint32_t value = defaultValue;
    return TryTavXml2Dword(text, value) ? value : defaultValue;
}

std::string GetBackupTypeName(uint32_t word) {
    switch (word & TAV_BKTYPE_MASK) {
        case TAV_BKTYPE_FULL:
            return engtext::TYPE_FULL;
        case TAV_BKTYPE_INCREMENTAL:
        case TAV_BKTYPE_INCREMENTAL_ALT:
            return engtext::TYPE_INCREMENTAL;
        default:
            return engtext::TYPE_UNKNOWN;
    }
}
