// Fuzz target: registry-file parsing must never crash, and whatever it accepts must
// come back unchanged through the writer.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/RegFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace plat;
    RegFileDocument doc;
    std::string error;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    if (!ParseRegFile(input, "fuzz.reg", doc, error)) return 0;
    for (RegRoot root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        CRegKey tree(RootName(root));
        ApplyRegFile(doc, root, tree);
        std::string written = WriteRegFile(tree, RootName(root));
        RegFileDocument again;
        if (!ParseRegFile(written, "again.reg", again, error)) std::abort();
        CRegKey back(RootName(root));
        ApplyRegFile(again, root, back);
        if (!back.SameTree(tree)) std::abort();
    }
    return 0;
}
