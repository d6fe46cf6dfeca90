// Test helper program: attaches a repository and holds its current image, either for
// writing (in a transaction) or for reading, until a release file appears.
// Usage: rep_image_holder write|read REPO READY_FILE RELEASE_FILE
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "tavrep/TavRepository.h"
#include "tavrep/TavSecurity.h"

int main(int argc, char** argv) {
    if (argc != 5) return 2;
    const bool write = std::strcmp(argv[1], "write") == 0;
    TavImageSecurity sec;
    InitTavImageSecure(&sec, nullptr, COMPRESS_DEFLATE, -1, ENCRYPT_NONE, TAV_DEFAULT_IMAGE_SIZE);
    CTavRepository rep;
    try {
        if (rep.Attach(argv[2], &sec) != 1) return 3;
        if (write) {
            if (rep.BeginTrans(5000) != 1) return 4;
        } else {
            CTavImage* image = rep.GetImageFromID(rep.GetCurrentImageID());
            if (image == nullptr) return 4;
            image->ReadBlock(0);  // keeps the read handle open
        }
    } catch (CTavException* e) {
        std::fprintf(stderr, "%s\n", e->Describe().c_str());
        e->Delete();
        return 5;
    }
    FILE* f = std::fopen(argv[3], "w");
    if (f) std::fclose(f);
    for (int i = 0; i < 3000 && !plat::PathExists(argv[4]); ++i) plat::SleepMillis(10);
    if (write) rep.CommitTrans();
    return 0;
}
