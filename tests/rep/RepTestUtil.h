// Helpers shared by the repository library's tests.
#pragma once
#include <functional>
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/TempDir.h"
#include "tavrep/TavRepository.h"
#include "tavrep/TavSecurity.h"

namespace tavtest {

inline TavImageSecurity Security(const char* password = nullptr, uint32_t encryption = ENCRYPT_NONE,
                                 uint32_t maxImageSize = TAV_DEFAULT_IMAGE_SIZE,
                                 uint32_t compression = COMPRESS_DEFLATE) {
    TavImageSecurity s;
    InitTavImageSecure(&s, password, compression, -1, encryption, maxImageSize);
    return s;
}

// Takes a thrown library exception and returns its code (-1 when none was thrown).
template <typename F>
int ThrownCode(F&& f) {
    try {
        f();
    } catch (CTavException* e) {
        int code = e->code;
        e->Delete();
        return code;
    }
    return -1;
}

// Reads a whole content chain.
inline std::string ReadChain(CTavRepository& rep, TavPosition position) {
    std::string out;
    for (int guard = 0; position.offset != 0 && guard < 100000; ++guard) {
        CTavRepContent* c = rep.GetContent(position);
        if (c == nullptr) break;
        out.append(reinterpret_cast<const char*>(c->data.data()), c->data.size());
        position = c->Next();
        c->Dispose();
    }
    return out;
}

inline std::string RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) c = char(rng());
    return s;
}

inline std::string TextBytes(size_t n) {
    static const char* words[] = {"backup ", "image ", "baseline ", "node ", "chunk ", "the ", "\n"};
    std::string s;
    std::mt19937 rng(7);
    while (s.size() < n) s += words[rng() % 7];
    s.resize(n);
    return s;
}

inline TavFindData FileData(const std::string& name, uint64_t size, uint32_t attributes = TAV_ATTR_ARCHIVE) {
    TavFindData fd;
    fd.name = name;
    fd.attributes = attributes;
    fd.SetSize(size);
    fd.written = TavFileTime::FromTicks(133000000000000000ull + size);
    return fd;
}

// Records what the repository reports while storing.
class CRecordingObserver : public CTavRepositoryObserver {
public:
    int32_t OnRepProgress(const char*, TavPosition position, uint32_t percent) override {
        percents.push_back(percent);
        positions.push_back(position);
        if (onProgress) onProgress();
        return stopAfter != 0 && percents.size() >= stopAfter ? 0 : 1;
    }
    void OnRepError(const char*, const char* message) override { errors.push_back(message); }
    std::vector<uint32_t> percents;
    std::vector<TavPosition> positions;
    std::vector<std::string> errors;
    size_t stopAfter = 0;
    std::function<void()> onProgress;  // called after each report (changes the file, say)
};

// Owns a working table.
struct TableDeleter {
    void operator()(CTavRepBaselineDetails* t) const {
        if (t) t->Dispose();
    }
};
using TablePtr = std::unique_ptr<CTavRepBaselineDetails, TableDeleter>;

}  // namespace tavtest
