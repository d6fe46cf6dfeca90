// Reference figures for the backup comparison (bench/compare.sh), over a real folder tree:
//   walk      a stat walk of the tree (every entry listed with its lstat data), best of 3
//   read      every regular file read in 64 KiB chunks, nothing else done
//   pipeline  read + deflate (libdeflate level 6) + AES-128-ECB (EVP) + MD5 over every
//             chunk, the way a backup encodes it, first on one thread, then on two
//             (files shared out by a counter)
// A chunk whose deflate form is not smaller is kept as it is, as the repository library does.
// Output: one "key=value" line per figure (seconds, bytes, counts), for the script to read.
//
// Usage: bench_tree_pipeline DIR
#include <libdeflate.h>
#include <openssl/evp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/File.h"
#include "platform/FileSystem.h"
#include "tavrep/MD5Checksum.h"

namespace {

constexpr size_t CHUNK = 65536;
constexpr int LEVEL = 6;
constexpr size_t CIPHER_BLOCK = 16;
const uint8_t AES_KEY[16] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
                             0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F};

struct TreeFile {
    std::string path;
    uint64_t size = 0;
};

struct WalkCount {
    uint64_t files = 0;
    uint64_t folders = 0;
    uint64_t bytes = 0;
};

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "bench_tree_pipeline: %s\n", what.c_str());
    std::exit(1);
}

void Walk(const std::string& dir, WalkCount& count, std::vector<TreeFile>* files) {
    std::vector<TavFindData> entries;
    if (!plat::ListDirectory(dir, entries)) Fail("cannot list " + dir);
    for (const TavFindData& e : entries) {
        const std::string path = plat::JoinPath(dir, e.name);
        if (e.kind == TavFileKind::Directory) {
            ++count.folders;
            Walk(path, count, files);
        } else if (e.kind == TavFileKind::Regular) {
            ++count.files;
            count.bytes += e.Size();
            if (files) files->push_back({path, e.Size()});
        }
    }
}

// What one thread does to the files it takes: read, and optionally encode every chunk.
class CEncoder {
public:
    explicit CEncoder(bool encode) : m_encode(encode) {
        if (!encode) return;
        m_deflate = libdeflate_alloc_compressor(LEVEL);
        m_aes = EVP_CIPHER_CTX_new();
        if (!m_deflate || !m_aes ||
            EVP_CipherInit_ex(m_aes, EVP_aes_128_ecb(), nullptr, AES_KEY, nullptr, 1) != 1 ||
            EVP_CIPHER_CTX_set_padding(m_aes, 0) != 1)
            Fail("codec set-up failed");
        m_packed.resize(libdeflate_deflate_compress_bound(m_deflate, CHUNK) + CIPHER_BLOCK);
        m_cipher.resize(m_packed.size() + CIPHER_BLOCK);
    }
    ~CEncoder() {
        if (m_deflate) libdeflate_free_compressor(m_deflate);
        if (m_aes) EVP_CIPHER_CTX_free(m_aes);
    }
    CEncoder(const CEncoder&) = delete;
    CEncoder& operator=(const CEncoder&) = delete;

    void File(const TreeFile& f) {
        auto file = plat::CFile::Open(f.path, plat::FileAccess::Read, plat::FileDisposition::OpenExisting,
                                      nullptr, plat::FileHint::Sequential);
        if (!file) Fail("cannot open " + f.path);
        CMD5Checksum md5;
        for (;;) {
            const int64_t n = file->ReadFull(m_raw, CHUNK);
            if (n < 0) Fail("cannot read " + f.path);
            if (n == 0) break;
            m_read += uint64_t(n);
            if (m_encode) Chunk(md5, size_t(n));
            if (size_t(n) < CHUNK) break;
        }
        if (m_encode) {
            uint32_t state[4];
            md5.GetHash(state);
            m_sink += state[0];
        }
    }

    uint64_t m_read = 0;
    uint64_t m_stored = 0;
    uint64_t m_sink = 0;

private:
    void Chunk(CMD5Checksum& md5, size_t n) {
        md5.Update(m_raw, n);
        size_t len = libdeflate_deflate_compress(m_deflate, m_raw, n, m_packed.data(), m_packed.size());
        if (len == 0 || len >= n) {
            std::copy(m_raw, m_raw + n, m_packed.begin());
            len = n;
        }
        const size_t padded = (len + CIPHER_BLOCK - 1) / CIPHER_BLOCK * CIPHER_BLOCK;
        std::fill(m_packed.begin() + long(len), m_packed.begin() + long(padded), 0);
        int out = 0;
        if (EVP_CipherUpdate(m_aes, m_cipher.data(), &out, m_packed.data(), int(padded)) != 1)
            Fail("EVP_CipherUpdate failed");
        m_stored += padded;
        m_sink += m_cipher[0];
    }

    bool m_encode;
    libdeflate_compressor* m_deflate = nullptr;
    EVP_CIPHER_CTX* m_aes = nullptr;
    uint8_t m_raw[CHUNK];
    std::vector<uint8_t> m_packed;
    std::vector<uint8_t> m_cipher;
};

struct PassResult {
    double seconds = 0;
    uint64_t read = 0;
    uint64_t stored = 0;
};

// Runs one pass over `files` on `threads` threads.
PassResult Pass(const std::vector<TreeFile>& files, unsigned threads, bool encode) {
    std::atomic<size_t> next{0};
    std::vector<std::unique_ptr<CEncoder>> encoders;
    for (unsigned t = 0; t < threads; ++t) encoders.push_back(std::make_unique<CEncoder>(encode));
    auto work = [&](CEncoder& enc) {
        for (size_t i = next++; i < files.size(); i = next++) enc.File(files[i]);
    };
    const double start = Now();
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work, std::ref(*encoders[t]));
    work(*encoders[0]);
    for (std::thread& th : pool) th.join();
    PassResult r;
    r.seconds = Now() - start;
    for (const auto& e : encoders) {
        r.read += e->m_read;
        r.stored += e->m_stored;
    }
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_tree_pipeline DIR\n");
        return 2;
    }
    const std::string root = plat::AbsolutePath(argv[1]);

    std::vector<TreeFile> files;
    WalkCount count;
    Walk(root, count, &files);
    double walk = 1e9;
    for (int round = 0; round < 3; ++round) {
        WalkCount c;
        const double start = Now();
        Walk(root, c, nullptr);
        walk = std::min(walk, Now() - start);
    }
    std::printf("files=%llu\nfolders=%llu\nbytes=%llu\nwalk_s=%.3f\n", (unsigned long long)count.files,
                (unsigned long long)count.folders, (unsigned long long)count.bytes, walk);

    const PassResult read = Pass(files, 1, false);
    std::printf("read_s=%.3f\n", read.seconds);
    const PassResult one = Pass(files, 1, true);
    std::printf("pipeline1_s=%.3f\npipeline_stored=%llu\n", one.seconds, (unsigned long long)one.stored);
    const PassResult two = Pass(files, 2, true);
    std::printf("pipeline2_s=%.3f\n", two.seconds);
    return 0;
}
