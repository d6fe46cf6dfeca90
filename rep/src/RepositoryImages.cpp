// CTavRepository: image naming, image slots and entry points.
#include <cstdio>
#include <cstring>

#include "ByteOrder.h"
#include "platform/FileSystem.h"
#include "tavrep/TavRepository.h"

namespace {
constexpr const char* SRC_PUT_IMAGE = "CTavRepository::PutImage";
constexpr const char* SRC_PUT_SLOT = "CTavRepository::PutImageToSlot";
constexpr int MAX_PATH_RETRIES = 1000;  // bound on OnChangePath retries
}  // namespace

// Image n of the series that `base` belongs to: name.NNNN.ext beside it; image 0 keeps the
// plain name (n = 0xFFFFFFFF asks for it).
void CTavRepository::BuildImagePath(std::string& out, const std::string& base, uint32_t n) {
    size_t slash = base.rfind('/');
    std::string dir, file;
    if (slash == std::string::npos) {
        file = base;
    } else {
        dir = base.substr(0, slash + 1);  // keeps the '/' (also for a file in "/")
        file = base.substr(slash + 1);
    }
    const size_t len = file.size();
    char number[16];
    std::snprintf(number, sizeof(number), "%04u", n);
    if (len > 9 && file[len - 4] == '.' && file[len - 9] == '.') {
        std::string stem = file.substr(0, len - 9);
        std::string ext = file.substr(len - 3);
        out = n == TAV_NONE ? dir + stem + "." + ext : dir + stem + "." + number + "." + ext;
    } else if (n == TAV_NONE) {
        out = base;
    } else if (len >= 4 && file[len - 4] == '.') {
        out = dir + file.substr(0, len - 4) + "." + number + "." + file.substr(len - 3);
    } else {
        out = dir + file + "." + number;
    }
}

int CTavRepository::TestFileExisting(const std::string& path) {
    return !path.empty() && plat::PathExists(path) ? 1 : 0;
}

std::string CTavRepository::PathOfImageSeenFrom(const std::string& from, uint32_t n) const {
    std::string path;
    BuildImagePath(path, from, n);
    if (n == 0 && !TestFileExisting(path)) BuildImagePath(path, from, TAV_NONE);
    return path;
}

namespace {
TavImageSecurity NoSecurity() {
    TavImageSecurity s{};
    s.maxImageSize = 0xFFFFFFFF;
    return s;
}
}  // namespace

int CTavRepository::GetImageHeader(const std::string& path, TavRepHeader& header) {
    CTavImage image(path, m_security ? *m_security : NoSecurity());
    TavBlockData block = image.ReadBlock(0);
    if (block.data.size() < IMAGE_HEADER_RECORD_SIZE) return 0;
    header.version = tavrep::GetLE32(block.data.data());
    header.created = tavrep::GetLE32(block.data.data() + 4);
    header.imageId = tavrep::GetLE32(block.data.data() + 8);
    header.reserved = tavrep::GetLE32(block.data.data() + 12);
    return 1;
}

uint32_t CTavRepository::PutImage(const std::string& path, uint32_t expectedId) {
    TavRepHeader header;
    int ok = 0;
    try {
        ok = GetImageHeader(path, header);
    } catch (CTavException* e) {
        // A busy file is reported as busy, not as "not an image".
        const bool busy = e->code == TAVEX_BUSY;
        const uint32_t error = e->systemError;
        e->Delete();
        throw new CTavRepException(busy ? TAVEX_BUSY : TAVEX_NOT_IMAGE, error, SRC_PUT_IMAGE);
    }
    if (!ok) throw new CTavRepException(TAVEX_NOT_IMAGE, 0, SRC_PUT_IMAGE);
    // An image a newer program wrote in a way this one cannot read is named, never read
    // as something else; the repository remembers it so that every tool can say so.
    if (ImageNeedsNewerReader(header)) {
        m_newerImages.insert(header.imageId);
        auto* e = new CTavRepException(TAVEX_UNKNOWN_VERSION, 0, SRC_PUT_IMAGE);
        char format[64];
        std::snprintf(format, sizeof(format), " (format 0x%08X, features 0x%X)", header.version,
                      header.reserved);
        e->detail = NewerReaderText(header.imageId) + format + ": " + path;
        throw e;
    }
    std::unique_ptr<CTavFormatAdaptor> adaptor(MakeFormatAdaptor(header.version));
    if (!adaptor) throw new CTavRepException(TAVEX_UNKNOWN_VERSION, 0, SRC_PUT_IMAGE);
    if (expectedId != TAV_NONE && expectedId != header.imageId)
        throw new CTavRepException(TAVEX_WRONG_ID, 0, SRC_PUT_IMAGE);
    auto image = std::make_unique<CTavImage>(path, m_security ? *m_security : NoSecurity());
    PutImageToSlot(header.imageId, image.release(), adaptor.release());
    return header.imageId;
}

void CTavRepository::PutImageToSlot(uint32_t id, CTavImage* image, CTavFormatAdaptor* adaptor) {
    std::unique_ptr<CTavImage> newImage(image);
    std::unique_ptr<CTavFormatAdaptor> newAdaptor(adaptor);
    if (id > MAX_IMAGE_ID) throw new CTavRepException(TAVEX_ID_TOO_HIGH, 0, SRC_PUT_SLOT);
    if (int64_t(id) >= m_capacity) {
        m_capacity = int32_t(id) + 8;
        m_images.resize(size_t(m_capacity));
        m_adaptors.resize(size_t(m_capacity));
    }
    if (m_images[id] && m_images[id]->InTrans())
        throw new CTavRepException(TAVEX_BUSY, 0, SRC_PUT_SLOT);
    if (int32_t(id) > m_currentImage) m_currentImage = int32_t(id);
    m_images[id] = std::move(newImage);
    m_adaptors[id] = std::move(newAdaptor);
}

void CTavRepository::ClearImageSlot() {
    for (auto& image : m_images)
        if (image && image->InTrans()) throw new CTavRepException(TAVEX_BUSY, 0, SRC_PUT_SLOT);
    m_images.clear();
    m_adaptors.clear();
    m_createdInRun.clear();
    m_currentImage = -1;
    m_entryImage = -1;
    m_capacity = 0;
}

CTavImage* CTavRepository::GetImageFromID(uint32_t n) {
    if (int64_t(n) <= m_currentImage && m_images[n]) return m_images[n].get();
    // No slot holds such an id (TAV_NONE among them: PutImage would take it as "any id").
    if (m_currentImage < 0 || n > MAX_IMAGE_ID) return nullptr;
    std::string path = PathOfImageSeenFrom(GetCurrentRepPath(), n);
    for (int attempt = 0; attempt < MAX_PATH_RETRIES; ++attempt) {
        try {
            PutImage(path, n);
            return m_images[n].get();
        } catch (CTavException* e) {
            e->Delete();
        }
        if (m_errorCallback->OnChangePath(this, path) == 0) return nullptr;
    }
    return nullptr;
}

std::string CTavRepository::GetImagePath(uint32_t id) const {
    if (int64_t(id) > m_currentImage || !m_images[id]) return std::string();
    return m_images[id]->Path();
}

std::string CTavRepository::ImagePathOf(uint32_t id) const {
    std::string path = GetImagePath(id);
    return path.empty() ? PathOfImageSeenFrom(GetCurrentRepPath(), id) : path;
}

std::string CTavRepository::GetCurrentRepPath() const {
    if (m_currentImage < 0 || !m_images[size_t(m_currentImage)]) return std::string();
    return m_images[size_t(m_currentImage)]->Path();
}

uint32_t CTavRepository::GetCurrentImageID() const {
    return m_currentImage < 0 ? TAV_NONE : uint32_t(m_currentImage);
}

CTavFormatAdaptor* CTavRepository::GetAdaptor(uint32_t id) const {
    if (int64_t(id) > m_currentImage) return nullptr;
    return m_adaptors[id].get();
}

// Slot s of the security record: words 2s and 2s+1 (slot 3 is the entry point).
TavPosition CTavRepository::GetEntryPoint(uint32_t imageId, uint32_t slot) {
    CTavImage* image = GetImageFromID(imageId);
    if (image == nullptr || slot > 31) return {0, 0};
    try {
        TavBlockData block = image->ReadBlock(SECURITY_BLOCK_OFFSET);
        if (block.data.size() < SECURITY_RECORD_SIZE) return {0, 0};
        return {tavrep::GetLE32(block.data.data() + slot * 8),
                tavrep::GetLE32(block.data.data() + slot * 8 + 4)};
    } catch (CTavException* e) {
        e->Delete();
        return {0, 0};
    }
}

int CTavRepository::SetEntryPoint(uint32_t imageId, uint32_t slot, TavPosition position) {
    CTavImage* image = GetImageFromID(imageId);
    if (image == nullptr || slot > 31) return 0;
    uint8_t bytes[8];
    tavrep::PutLE32(bytes, position.image);
    tavrep::PutLE32(bytes + 4, position.offset);
    return image->UpdateBlock(SECURITY_BLOCK_OFFSET, bytes, 8, slot * 8);
}
