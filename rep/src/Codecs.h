// Block codecs: the none codecs, deflate as one gzip member, AES-128 ECB, the per-image
// codec table, and the encoding of a payload into a block's stored bytes and back.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tavrep {

// A compressor turns bytes into a self-describing stored form and back.
class TavCompressor {
public:
    virtual ~TavCompressor() = default;
    // Appends the encoded form of `in` to `out`; false when the codec could not run
    // (then `out` is left as it was).
    virtual bool Encode(const uint8_t* in, size_t n, int level, std::vector<uint8_t>& out) = 0;
    // Appends a form that keeps the bytes as they are but lets a reader check them; false
    // when the codec has none (then `out` is left as it was).
    virtual bool EncodeStored(const uint8_t* in, size_t n, std::vector<uint8_t>& out) = 0;
    // The method a block of that stored form is marked with (a codec may keep its stored
    // form in another method's shape that every reader knows).
    virtual uint32_t StoredMethodId() const { return MethodId(); }
    // True when the codec gives up on random-looking bytes faster than the encoder's own
    // test for them: then the encoder lets it try every payload.
    virtual bool QuickOnRandomData() const { return false; }
    // Appends the decoded form to `out`, at most `limit` bytes of it. Returns "" when the
    // bytes decoded completely and checked out, else what is wrong with them (the stored
    // form is damaged, or would decode to more than `limit` bytes); `out` then holds
    // nothing to be used.
    virtual std::string Decode(const uint8_t* in, size_t n, size_t limit,
                               std::vector<uint8_t>& out) = 0;
    virtual uint32_t MethodId() const = 0;
};

// An encryptor works in place on whole 16-byte blocks.
class TavEncryptor {
public:
    virtual ~TavEncryptor() = default;
    virtual void Encode(uint8_t* data, size_t n) = 0;  // n is a multiple of 16
    virtual void Decode(uint8_t* data, size_t n) = 0;  // n is a multiple of 16
    virtual uint32_t MethodId() const = 0;
};

// The 16-byte key of ENCRYPT_BUILTIN (a constant of the format, see docs/format.md).
extern const uint8_t BUILTIN_KEY[16];

std::unique_ptr<TavCompressor> MakeNoneCompressor();
std::unique_ptr<TavCompressor> MakeDeflateCompressor();
std::unique_ptr<TavCompressor> MakeZstdCompressor();
std::unique_ptr<TavEncryptor> MakeNoneEncryptor();
// AES-128 ECB with the given key (the 16 bytes are copied).
std::unique_ptr<TavEncryptor> MakeAesEncryptor(const uint8_t key[16], uint32_t methodId);

// 16 compressor slots (bits 20-23 of a method id) and 16 encryptor slots (bits 16-19).
// Slot 0 holds none, compressor 1 deflate, compressor 2 zstd, encryptor 1 the built-in key, encryptor 2
// the key taken from the first 16 bytes of the password field. An empty slot selects 0
// for writing; a stored block that names an empty slot was not written by any encoder.
class TavCodecTable {
public:
    explicit TavCodecTable(const char password[128]);
    TavCompressor& Compressor(uint32_t methodId);
    TavEncryptor& Encryptor(uint32_t methodId);
    bool HasCompressor(uint32_t methodId) const;
    bool HasEncryptor(uint32_t methodId) const;

private:
    std::unique_ptr<TavCompressor> m_compressors[16];
    std::unique_ptr<TavEncryptor> m_encryptors[16];
};

// Blocks that carry data are always written through a compressor, so that a gzip member's
// CRC-32 covers their bytes: a compression method that compresses nothing (none, or an
// empty slot) becomes deflate at level 0, which writes the bytes as stored deflate blocks.
void CheckedCompression(uint32_t& methodId, int& level);

// Encodes payload `p` (`n` bytes, plain prefix `prefix` <= 255) into `out` (replaced) and
// returns the coding word: prefix << 8 | compressor id | encryptor id | padding count.
// With a compressor, the bytes behind the prefix always become its checked form: compressed
// when that is no longer than the stored form, else stored (bytes that look random, and
// level 0, go to the stored form without a compression attempt).
uint32_t EncodePayload(const uint8_t* p, size_t n, uint32_t prefix, TavCompressor& compressor,
                       int level, TavEncryptor& encryptor, std::vector<uint8_t>& out);

// Decodes stored bytes (`stored` is decrypted in place, and may be moved into `out` when
// nothing is compressed, so its contents afterwards are unspecified) under `coding` into `out`
// (replaced), a payload of at most `limit` bytes. Returns "" when the block decoded and
// checked out, else what is wrong with it (an unknown method, an impossible padding count or
// length, compressed data that is damaged, or a payload longer than `limit`).
std::string DecodePayload(uint32_t coding, std::vector<uint8_t>& stored, TavCodecTable& codecs,
                          size_t limit, std::vector<uint8_t>& out);

}  // namespace tavrep
