#include "core/DbxDateText.h"

#include <ctime>

#include "core/DbxViewerText.h"

namespace {
constexpr uint64_t TICKS_PER_SECOND = 10000000;
constexpr int64_t SECONDS_1601_TO_1970 = 11644473600;
}  // namespace

std::string FormatDbxDate(uint64_t fileTimeTicks, DbxTimeZone zone) {
    const std::time_t seconds =
        std::time_t(int64_t(fileTimeTicks / TICKS_PER_SECOND) - SECONDS_1601_TO_1970);
    // The program runs the viewer on one thread; the static result is copied at once.
    const std::tm* parts =
        zone == DbxTimeZone::Utc ? std::gmtime(&seconds) : std::localtime(&seconds);
    if (parts == nullptr) return {};
    char text[64];
    const size_t length = std::strftime(text, sizeof text, dbxviewer::DATE_FORMAT, parts);
    return std::string(text, length);
}
