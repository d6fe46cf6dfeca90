// The none codecs and the per-image codec table.
#include "Codecs.h"

#include <cstring>

#include "DeflateCodec.h"
#include "ZstdCodec.h"
#include "tavrep/TavTypes.h"

namespace tavrep {
namespace {

constexpr unsigned COMPRESSOR_SHIFT = 20;
constexpr unsigned ENCRYPTOR_SHIFT = 16;
constexpr uint32_t SLOT_MASK = 0xF;

class CNoneCompressor final : public TavCompressor {
public:
    bool Encode(const uint8_t* in, size_t n, int, std::vector<uint8_t>& out) override {
        out.insert(out.end(), in, in + n);
        return true;
    }
    bool EncodeStored(const uint8_t*, size_t, std::vector<uint8_t>&) override { return false; }
    std::string Decode(const uint8_t* in, size_t n, size_t limit, std::vector<uint8_t>& out) override {
        if (n > limit) return "the payload is longer than a block of its kind may be";
        out.insert(out.end(), in, in + n);
        return "";
    }
    uint32_t MethodId() const override { return COMPRESS_NONE; }
};

class CNoneEncryptor final : public TavEncryptor {
public:
    void Encode(uint8_t*, size_t) override {}
    void Decode(uint8_t*, size_t) override {}
    uint32_t MethodId() const override { return ENCRYPT_NONE; }
};

}  // namespace

std::unique_ptr<TavCompressor> MakeNoneCompressor() { return std::make_unique<CNoneCompressor>(); }

std::unique_ptr<TavCompressor> MakeDeflateCompressor() {
    return std::make_unique<CDeflateCompressor>();
}

std::unique_ptr<TavCompressor> MakeZstdCompressor() { return std::make_unique<CZstdCompressor>(); }

std::unique_ptr<TavEncryptor> MakeNoneEncryptor() { return std::make_unique<CNoneEncryptor>(); }

TavCodecTable::TavCodecTable(const char password[128]) {
    // The password key is the first 16 bytes of the field: the UTF-8 text cut or zero-padded.
    uint8_t passwordKey[16] = {};
    if (password) std::memcpy(passwordKey, password, sizeof(passwordKey));

    m_compressors[0] = MakeNoneCompressor();
    m_compressors[(COMPRESS_DEFLATE >> COMPRESSOR_SHIFT) & SLOT_MASK] = MakeDeflateCompressor();
    m_compressors[(COMPRESS_ZSTD >> COMPRESSOR_SHIFT) & SLOT_MASK] = MakeZstdCompressor();
    m_encryptors[0] = MakeNoneEncryptor();
    m_encryptors[(ENCRYPT_BUILTIN >> ENCRYPTOR_SHIFT) & SLOT_MASK] =
        MakeAesEncryptor(BUILTIN_KEY, ENCRYPT_BUILTIN);
    m_encryptors[(ENCRYPT_PASSWORD >> ENCRYPTOR_SHIFT) & SLOT_MASK] =
        MakeAesEncryptor(passwordKey, ENCRYPT_PASSWORD);
}

void CheckedCompression(uint32_t& methodId, int& level) {
    const uint32_t slot = (methodId >> COMPRESSOR_SHIFT) & SLOT_MASK;
    if (slot == ((COMPRESS_DEFLATE >> COMPRESSOR_SHIFT) & SLOT_MASK) ||
        slot == ((COMPRESS_ZSTD >> COMPRESSOR_SHIFT) & SLOT_MASK))
        return;
    methodId = COMPRESS_DEFLATE;
    level = 0;
}

TavCompressor& TavCodecTable::Compressor(uint32_t methodId) {
    const auto& slot = m_compressors[(methodId >> COMPRESSOR_SHIFT) & SLOT_MASK];
    return slot ? *slot : *m_compressors[0];
}

bool TavCodecTable::HasCompressor(uint32_t methodId) const {
    return m_compressors[(methodId >> COMPRESSOR_SHIFT) & SLOT_MASK] != nullptr;
}

bool TavCodecTable::HasEncryptor(uint32_t methodId) const {
    return m_encryptors[(methodId >> ENCRYPTOR_SHIFT) & SLOT_MASK] != nullptr;
}

TavEncryptor& TavCodecTable::Encryptor(uint32_t methodId) {
    const auto& slot = m_encryptors[(methodId >> ENCRYPTOR_SHIFT) & SLOT_MASK];
    return slot ? *slot : *m_encryptors[0];
}

}  // namespace tavrep
