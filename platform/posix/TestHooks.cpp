// Crash points for the crash test.
#include "platform/TestHooks.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace plat {

namespace {

struct CrashPoints {
    uint64_t killAt = 0;  // 0: never
    uint64_t count = 0;
    bool counting = false;
    std::string countFile;

    CrashPoints() {
        if (const char* at = ::getenv("TAVORA_TEST_KILL_AT")) killAt = std::strtoull(at, nullptr, 10);
        if (const char* file = ::getenv("TAVORA_TEST_COUNT_FILE"); file != nullptr && *file) {
            counting = true;
            countFile = file;
        }
    }
    ~CrashPoints() {
        if (!counting) return;
        if (FILE* f = std::fopen(countFile.c_str(), "w")) {
            std::fprintf(f, "%llu\n", static_cast<unsigned long long>(count));
            std::fclose(f);
        }
    }
};

CrashPoints& Points() {
    static CrashPoints points;
    return points;
}

}  // namespace

void CrashPoint() {
    CrashPoints& p = Points();
    if (p.killAt == 0 && !p.counting) return;
    if (++p.count == p.killAt) ::kill(::getpid(), SIGKILL);
}

void CrashStep(const char* step) {
    const char* stop = ::getenv("TAVORA_TEST_KILL_AT");
    if (stop != nullptr && std::strcmp(stop, step) == 0) ::_exit(137);
}

}  // namespace plat
