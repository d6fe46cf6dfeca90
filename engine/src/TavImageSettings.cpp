// Split-size texts and the encoding word's storage parameters.
#include "tavengine/TavImageSettings.h"

#include "TextUtil.h"
#include "tavengine/TavWords.h"
#include "tavrep/TavSecurity.h"

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

// The multiplier of a unit text (already without spaces); 0 when unknown.
uint64_t UnitFactor(std::string_view unit) {
    using tavtext::EqualsNoCase;
    if (unit.empty() || EqualsNoCase(unit, "b") || EqualsNoCase(unit, "bytes") ||
        EqualsNoCase(unit, "byte"))
        return 1;
    const char c = tavtext::LowerAscii(unit[0]);
    uint64_t factor = c == 'k'   ? 1024ull
                      : c == 'm' ? 1024ull * 1024
                      : c == 'g' ? 1024ull * 1024 * 1024
                                 : 0;
    if (factor == 0) return 0;
    std::string_view rest = unit.substr(1);
    if (rest.empty() || EqualsNoCase(rest, "b") || EqualsNoCase(rest, "ib")) return factor;
    return 0;
}

}  // namespace

bool ParseSplitSize(std::string_view text, uint64_t& bytes) {
    size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    uint64_t whole = 0;
    size_t digits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
        if (whole > 1'000'000'000'000ull) return false;
        whole = whole * 10 + uint64_t(text[i] - '0');
    }
    // Up to six decimals are kept, as millionths.
    uint64_t millionths = 0;
    if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
        ++i;
        uint64_t scale = 100000;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
            millionths += uint64_t(text[i] - '0') * scale;
            scale /= 10;
        }
    }
    if (digits == 0) return false;
    while (i < text.size() && IsSpace(text[i])) ++i;
    size_t end = text.size();
    while (end > i && IsSpace(text[end - 1])) --end;
    const uint64_t factor = UnitFactor(text.substr(i, end - i));
    if (factor == 0) return false;
    bytes = whole * factor + millionths * factor / 1'000'000;
    return true;
}

uint32_t SplitSizeToImageLimit(std::string_view text) {
    uint64_t bytes = 0;
    if (!ParseSplitSize(text, bytes) || bytes == 0 || bytes >= TAV_SPLIT_MAX) return TAV_SPLIT_MAX;
    if (bytes < TAV_SPLIT_MIN) return TAV_SPLIT_MIN;
    return uint32_t(bytes);
}

std::string FormatSplitSize(uint64_t bytes) {
    static constexpr const char* UNITS[] = {"Bytes", "KB", "MB", "GB"};
    uint64_t divisor = 1;
    int unit = 0;
    while (unit < 3 && bytes / divisor > 1024) {
        divisor *= 1024;
        ++unit;
    }
    // Hundredths, rounded half up, in integers so that no locale changes the point.
    const unsigned long long hundredths = static_cast<unsigned long long>(
        (bytes / divisor) * 100 + ((bytes % divisor) * 100 + divisor / 2) / divisor);
    return plat::Format("%llu.%02llu %s", hundredths / 100, hundredths % 100, UNITS[unit]);
}

int FillImageSecurity(uint32_t encoding, uint32_t maxImageSize, TavImageSecurity& out) {
    const bool compress = EncodingCompresses(encoding);
    const bool zstd = EncodingUsesZstd(encoding);
    const uint32_t method = zstd ? COMPRESS_ZSTD : compress ? COMPRESS_DEFLATE : COMPRESS_NONE;
    const int32_t level = zstd ? EncodingZstdLevel(encoding) : compress ? EncodingLevel(encoding) : 0;
    return InitTavImageSecure(&out, nullptr, method, level,
                              EncodingEncrypts(encoding) ? ENCRYPT_BUILTIN : ENCRYPT_NONE,
                              maxImageSize);
}
