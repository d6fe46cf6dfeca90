// The raw codecs, each alone on one core, timed over the same buffers the library stores.
#include "RepCodecReference.h"

#include <libdeflate.h>
#include <openssl/evp.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "tavrep/MD5Checksum.h"

namespace tavbench {
namespace {

constexpr int LEVEL = 6;
constexpr double MIB = 1024.0 * 1024.0;
const uint8_t AES_KEY[16] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
                             0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F};

volatile uint64_t g_sink;

class CStopwatch {
public:
    CStopwatch() : m_start(std::chrono::steady_clock::now()) {}
    double Seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    }

private:
    std::chrono::steady_clock::time_point m_start;
};

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "bench_rep_throughput: %s failed\n", what);
    std::exit(1);
}

// libdeflate level 6 over every chunk; the raw deflate streams are kept for the inflaters.
double MeasureLibdeflate(const std::vector<uint8_t>& data, size_t chunk,
                         std::vector<std::vector<uint8_t>>& streams, uint64_t& total) {
    libdeflate_compressor* c = libdeflate_alloc_compressor(LEVEL);
    if (!c) Fail("libdeflate_alloc_compressor");
    streams.clear();
    streams.reserve(data.size() / chunk + 1);
    std::vector<uint8_t> out(libdeflate_deflate_compress_bound(c, chunk));
    total = 0;
    double seconds = 0;
    for (size_t at = 0; at < data.size(); at += chunk) {
        const size_t n = std::min(chunk, data.size() - at);
        CStopwatch watch;
        const size_t len = libdeflate_deflate_compress(c, data.data() + at, n, out.data(), out.size());
        seconds += watch.Seconds();
        if (len == 0) Fail("libdeflate_deflate_compress");
        streams.emplace_back(out.begin(), out.begin() + len);
        total += len;
    }
    libdeflate_free_compressor(c);
    return MiBPerSecond(data.size(), seconds);
}

double MeasureZlib(const std::vector<uint8_t>& data, size_t chunk) {
    z_stream zs{};
    if (deflateInit2(&zs, LEVEL, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        Fail("deflateInit2");
    std::vector<uint8_t> out(deflateBound(&zs, uLong(chunk)));
    CStopwatch watch;
    for (size_t at = 0; at < data.size(); at += chunk) {
        const size_t n = std::min(chunk, data.size() - at);
        deflateReset(&zs);
        zs.next_in = const_cast<Bytef*>(data.data() + at);
        zs.avail_in = uInt(n);
        zs.next_out = out.data();
        zs.avail_out = uInt(out.size());
        if (deflate(&zs, Z_FINISH) != Z_STREAM_END) Fail("deflate");
        g_sink = g_sink + zs.total_out;
    }
    const double seconds = watch.Seconds();
    deflateEnd(&zs);
    return MiBPerSecond(data.size(), seconds);
}

double MeasureAes(const std::vector<uint8_t>& data, size_t chunk, bool encrypt) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    if (!ctx || EVP_CipherInit_ex(ctx, EVP_aes_128_ecb(), nullptr, AES_KEY, nullptr, encrypt ? 1 : 0) != 1 ||
        EVP_CIPHER_CTX_set_padding(ctx, 0) != 1)
        Fail("EVP_CipherInit_ex");
    std::vector<uint8_t> out(chunk + 16);
    CStopwatch watch;
    for (size_t at = 0; at < data.size(); at += chunk) {
        size_t n = std::min(chunk, data.size() - at);
        n -= n % 16;
        int len = 0;
        if (n > 0 && EVP_CipherUpdate(ctx, out.data(), &len, data.data() + at, int(n)) != 1)
            Fail("EVP_CipherUpdate");
        g_sink = g_sink + out[0];
    }
    const double seconds = watch.Seconds();
    EVP_CIPHER_CTX_free(ctx);
    return MiBPerSecond(data.size(), seconds);
}

double MeasureMd5(const std::vector<uint8_t>& data, size_t chunk) {
    CMD5Checksum md5;
    CStopwatch watch;
    for (size_t at = 0; at < data.size(); at += chunk)
        md5.Update(data.data() + at, std::min(chunk, data.size() - at));
    const double seconds = watch.Seconds();
    uint32_t state[4];
    md5.GetHash(state);
    g_sink = g_sink + state[0];
    return MiBPerSecond(data.size(), seconds);
}

double MeasureInflate(const std::vector<std::vector<uint8_t>>& streams, size_t chunk, uint64_t total) {
    z_stream zs{};
    if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) Fail("inflateInit2");
    std::vector<uint8_t> out(chunk);
    CStopwatch watch;
    for (const auto& s : streams) {
        inflateReset(&zs);
        zs.next_in = const_cast<Bytef*>(s.data());
        zs.avail_in = uInt(s.size());
        zs.next_out = out.data();
        zs.avail_out = uInt(out.size());
        if (inflate(&zs, Z_FINISH) != Z_STREAM_END) Fail("inflate");
    }
    const double seconds = watch.Seconds();
    inflateEnd(&zs);
    return MiBPerSecond(total, seconds);
}

double MeasureLibinflate(const std::vector<std::vector<uint8_t>>& streams, size_t chunk, uint64_t total) {
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    if (!d) Fail("libdeflate_alloc_decompressor");
    std::vector<uint8_t> out(chunk);
    CStopwatch watch;
    for (const auto& s : streams) {
        size_t got = 0;
        if (libdeflate_deflate_decompress(d, s.data(), s.size(), out.data(), out.size(), &got) !=
            LIBDEFLATE_SUCCESS)
            Fail("libdeflate_deflate_decompress");
    }
    const double seconds = watch.Seconds();
    libdeflate_free_decompressor(d);
    return MiBPerSecond(total, seconds);
}

}  // namespace

double MiBPerSecond(uint64_t bytes, double seconds) {
    return seconds > 0 ? double(bytes) / MIB / seconds : 0;
}

double SerialBound(std::initializer_list<double> stages) {
    double inverse = 0;
    for (double s : stages)
        if (s > 0) inverse += 1 / s;
    return inverse > 0 ? 1 / inverse : 0;
}

CodecFigures MeasureCodecs(const std::vector<uint8_t>& data, size_t chunk) {
    CodecFigures f;
    std::vector<std::vector<uint8_t>> streams;
    f.libdeflate6 = MeasureLibdeflate(data, chunk, streams, f.deflated);
    f.zlib6 = MeasureZlib(data, chunk);
    f.aesEncrypt = MeasureAes(data, chunk, true);
    f.aesDecrypt = MeasureAes(data, chunk, false);
    f.md5 = MeasureMd5(data, chunk);
    // Inflate figures count decoded bytes per second, like the read path.
    f.inflate = MeasureInflate(streams, chunk, data.size());
    f.libinflate = MeasureLibinflate(streams, chunk, data.size());
    return f;
}

}  // namespace tavbench
