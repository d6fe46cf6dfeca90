// AES-128 in ECB mode (FIPS-197) through OpenSSL's EVP interface, and the built-in key.
#include <openssl/evp.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <stdexcept>

#include "Codecs.h"

namespace tavrep {

// The key of ENCRYPT_BUILTIN. It is part of the image format: changing it makes every
// block written with the built-in key unreadable (docs/format.md lists it).
const uint8_t BUILTIN_KEY[16] = {0x58, 0x83, 0x77, 0x70, 0x8F, 0x6C, 0xC7, 0xAA,
                                 0xEE, 0xCA, 0x31, 0xBC, 0xDA, 0xBB, 0x62, 0x2D};

namespace {

constexpr size_t AES_BLOCK = 16;
constexpr size_t MAX_EVP_CHUNK = size_t(1) << 30;  // EVP counts in int

// Each 16-byte block is enciphered on its own (no chaining, no IV, no padding), so one
// context per direction is set up once and reused for every call.
class CAesEncryptor final : public TavEncryptor {
public:
    CAesEncryptor(const uint8_t key[16], uint32_t methodId) : m_methodId(methodId) {
        m_encrypt = MakeContext(key, true);
        m_decrypt = MakeContext(key, false);
        if (!m_encrypt || !m_decrypt) {
            EVP_CIPHER_CTX_free(m_encrypt);
            EVP_CIPHER_CTX_free(m_decrypt);
            throw std::bad_alloc();
        }
    }
    ~CAesEncryptor() override {
        EVP_CIPHER_CTX_free(m_encrypt);
        EVP_CIPHER_CTX_free(m_decrypt);
    }
    CAesEncryptor(const CAesEncryptor&) = delete;
    CAesEncryptor& operator=(const CAesEncryptor&) = delete;

    void Encode(uint8_t* data, size_t n) override { Run(m_encrypt, data, n); }
    void Decode(uint8_t* data, size_t n) override { Run(m_decrypt, data, n); }
    uint32_t MethodId() const override { return m_methodId; }

private:
    static EVP_CIPHER_CTX* MakeContext(const uint8_t key[16], bool encrypt) {
        EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
        if (!ctx) return nullptr;
        if (EVP_CipherInit_ex(ctx, EVP_aes_128_ecb(), nullptr, key, nullptr, encrypt ? 1 : 0) !=
                1 ||
            EVP_CIPHER_CTX_set_padding(ctx, 0) != 1) {
            EVP_CIPHER_CTX_free(ctx);
            return nullptr;
        }
        return ctx;
    }

    // Works in place on the whole blocks of `data`; a partial block at the end (never
    // passed by the block store) is left as it is.
    static void Run(EVP_CIPHER_CTX* ctx, uint8_t* data, size_t n) {
        n -= n % AES_BLOCK;
        while (n > 0) {
            const size_t chunk = std::min(n, MAX_EVP_CHUNK);
            int outLen = 0;
            if (EVP_CipherUpdate(ctx, data, &outLen, data, int(chunk)) != 1) {
                throw std::runtime_error("AES-128 cipher failed");
            }
            data += chunk;
            n -= chunk;
        }
    }

    EVP_CIPHER_CTX* m_encrypt = nullptr;
    EVP_CIPHER_CTX* m_decrypt = nullptr;
    uint32_t m_methodId;
};

}  // namespace

std::unique_ptr<TavEncryptor> MakeAesEncryptor(const uint8_t key[16], uint32_t methodId) {
    return std::make_unique<CAesEncryptor>(key, methodId);
}

}  // namespace tavrep
