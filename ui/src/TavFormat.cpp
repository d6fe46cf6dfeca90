// Size, number and time texts.
#include "tavui/TavFormat.h"

#include <QDateTime>
#include <cstdio>

namespace tavui {

std::string SizeText(uint64_t size) {
    char text[64];
    if (size > 0x40000000ull)
        std::snprintf(text, sizeof text, "%0.2lf GB", double(size) / double(1ull << 30));
    else if (size >= 0x100001ull)
        std::snprintf(text, sizeof text, "%0.2lf MB", double(size) / double(1ull << 20));
    else if (size <= 1024)
        std::snprintf(text, sizeof text, "%d Bytes", int(size));
    else
        std::snprintf(text, sizeof text, "%0.2lf KB", double(size) / 1024.0);
    return text;
}

std::string GroupedNumber(uint64_t value) {
    std::string digits = std::to_string(value);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string LocalTimeText(int64_t seconds, const char* pattern) {
    const QDateTime t = QDateTime::fromSecsSinceEpoch(seconds).toLocalTime();
    const QDate d = t.date();
    const QTime c = t.time();
    std::string out;
    char part[16];
    for (const char* p = pattern; *p != '\0'; ++p) {
        if (*p != '%' || p[1] == '\0') {
            out += *p;
            continue;
        }
        switch (*++p) {
            case 'Y': std::snprintf(part, sizeof part, "%04d", d.year()); break;
            case 'm': std::snprintf(part, sizeof part, "%02d", d.month()); break;
            case 'd': std::snprintf(part, sizeof part, "%02d", d.day()); break;
            case 'H': std::snprintf(part, sizeof part, "%02d", c.hour()); break;
            case 'I': std::snprintf(part, sizeof part, "%02d", c.hour() % 12 == 0 ? 12 : c.hour() % 12); break;
            case 'M': std::snprintf(part, sizeof part, "%02d", c.minute()); break;
            case 'S': std::snprintf(part, sizeof part, "%02d", c.second()); break;
            case 'p': std::snprintf(part, sizeof part, "%s", c.hour() < 12 ? "AM" : "PM"); break;
            default: std::snprintf(part, sizeof part, "%%%c", *p); break;
        }
        out += part;
    }
    return out;
}

int64_t FileTimeToUnix(const TavFileTime& time) {
    constexpr uint64_t EPOCH_DIFF = 116444736000000000ull;  // 1601 to 1970 in 100 ns
    const uint64_t ticks = time.Ticks();
    return ticks >= EPOCH_DIFF ? int64_t((ticks - EPOCH_DIFF) / 10000000ull)
                               : -int64_t((EPOCH_DIFF - ticks) / 10000000ull);
}

std::string FileTimeText(const TavFileTime& time, const char* pattern) {
    if (time.Ticks() == 0) return {};
    return LocalTimeText(FileTimeToUnix(time), pattern);
}

}  // namespace tavui
