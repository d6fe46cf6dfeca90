// The library's exception objects.
#include "tavrep/TavException.h"

#include <cstdio>
#include <cstring>
#include <exception>

#include "platform/SysError.h"

CTavException::CTavException(int32_t c, uint32_t error, const char* src)
    : code(c), systemError(error) {
    std::snprintf(source, sizeof(source), "%s", src ? src : "");
}

CTavException::~CTavException() = default;

void CTavException::Delete() { delete this; }

namespace {
const char* CodeText(int32_t code) {
    switch (code) {
        case 0: return "the image file could not be opened";
        case 1: return "file not found";
        case 2: return "the image is busy (in use by another process or transaction)";
        case 3: return "a block could not be read";
        case 4: return "a node table could not be written";
        case 5: return "not an image file, or no usable entry point";
        case 7: return "image id above 20000";
        case 8: return "the file's image id is not the one expected";
        case 9: return "the entry point names an image id above 9998";
        case 10: return "unknown format version";
        default: return "repository error";
    }
}
}  // namespace

std::string CTavException::Describe() const {
    std::string text = std::string(source) + ": " + CodeText(code);
    if (!detail.empty()) text += ": " + detail;
    text += " (code " + std::to_string(code);
    if (systemError != 0) text += ": " + plat::ErrorText(systemError);
    return text + ")";
}

std::string TakeException(CTavException* e) {
    if (e == nullptr) return "unknown repository error";
    std::string text = e->Describe();
    e->Delete();
    return text;
}

std::string TakeCurrentException() {
    try {
        throw;
    } catch (CTavException* e) {
        return TakeException(e);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unexpected failure";
    }
}
