// bench_host_follow IMAGE_PATH_TEXT [INTERVAL_MS]: follows the command host that backs up
// into the image (as the job editor's STATUS page does), asking for its records every
// INTERVAL_MS (default 250) until the run ends; prints how many polls saw it running.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/Clock.h"
#include "tavhost/TavCmdHostClient.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_host_follow IMAGE_PATH_TEXT [INTERVAL_MS]\n");
        return 2;
    }
    const uint32_t interval = argc > 2 ? uint32_t(std::strtoul(argv[2], nullptr, 10)) : 250;
    tavhost::CHostRunFollower follower(argv[1]);
    const uint64_t start = plat::NowMillis();
    int running = 0;
    // Waits up to a minute for the run to appear, then follows it to its end.
    for (;;) {
        const tavhost::HostRunSnapshot snapshot = follower.Poll();
        if (snapshot.state == tavhost::HostRunSnapshot::State::Running) ++running;
        if (snapshot.state == tavhost::HostRunSnapshot::State::Ended) break;
        if (snapshot.state == tavhost::HostRunSnapshot::State::NoHost && plat::NowMillis() - start > 60000) break;
        plat::SleepMillis(interval);
    }
    std::printf("%d polls saw the run\n", running);
    return running > 0 ? 0 : 1;
}
