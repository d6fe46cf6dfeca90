// A module for the browser tests: its engine restores nothing but reports progress until it
// is cancelled (or a bound is reached), and writes each call it receives into the file that
// $TAV_FAKE_TRACE names, so that tests see preparation, post-processing and release.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tavengine/TavEngine.h"

namespace {

constexpr const char* DESCRIPTOR =
    "<?xml version='1.0' encoding='UTF-8'?><tavmodule hubversion='1.0'>"
    "<module name='stop' title='Stop Module' version='1.0' root-id='strt'>"
    "<create-engine-proc name='CreateEngineStop'/></module></tavmodule>";

void Trace(const char* what) {
    const char* path = std::getenv("TAV_FAKE_TRACE");
    if (path == nullptr) return;
    if (FILE* f = std::fopen(path, "a")) {
        std::fputs(what, f);
        std::fputc('\n', f);
        std::fclose(f);
    }
}

class CStopEngine : public CTavEngine {
public:
    int32_t Backup(const std::string&, CTavRepository*, CTavRepBaselineDetails*) override { return 0; }
    int32_t Restore(const std::string&, CTavRepository*) override {
        Trace("restore");
        FireOnStart();
        FireOnLogNotify("Stop module restore\r\n");
        const bool endless = std::getenv("TAV_FAKE_ENDLESS") != nullptr;
        for (unsigned long i = 0; !m_cancel && (endless ? i < 4000000000ul : i < 3); ++i)
            FireOnProgress("Restoring", "item", uint32_t(i % 100));
        if (m_cancel) {
            SetEngineState(TAV_ENGINE_CANCELLED);
            FireOnCancelled();
            return 0;
        }
        SetEngineState(TAV_ENGINE_FINISHED);
        FireOnFinish();
        return 1;
    }
    void CancelOperation() override { m_cancel = true; }
    int32_t PreRestoreProcess(const std::string&, CTavRepository*) override {
        Trace("pre");
        return std::getenv("TAV_FAKE_REFUSE") == nullptr ? 1 : 0;
    }
    int32_t PostRestoreProcess(const std::string&, CTavRepository*) override {
        Trace("post");
        return 1;
    }
    void Dispose() override {
        Trace("dispose");
        delete this;
    }

private:
    volatile bool m_cancel = false;
};

}  // namespace

extern "C" {
__attribute__((visibility("default"))) const char* GetTavModInfo() { return DESCRIPTOR; }
__attribute__((visibility("default"))) CTavEngine* CreateEngineStop() { return new CStopEngine(); }
}
