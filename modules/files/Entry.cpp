// The Files and Folders module's exports: its descriptor and the engine factory.
#include "core/FilesTexts.h"
#include "core/TavEngineFiles.h"
#include "tavengine/TavModFactory.h"
#include "tavrep/TavException.h"

#define TAV_MODULE_EXPORT extern "C" __attribute__((visibility("default")))

// The descriptor text; static, owned by the module.
TAV_MODULE_EXPORT const char* GetTavModInfo() { return filestext::MOD_INFO; }

// A new engine, released by the caller with Dispose; null when it cannot be made.
TAV_MODULE_EXPORT CTavEngine* CreateEngineFiles() {
    try {
        return new CTavEngineFiles;
    } catch (...) {
        // The hub reports the module without an engine; what was thrown is released here.
        TakeCurrentException();
        return nullptr;
    }
}

// The module's data holds no positions beyond each node's content and extra chains.
TAV_MODULE_EXPORT int32_t ListFilesDataPositions(CTavRepository*, const TavNodeRec*,
                                                 TavPositionSink, void*) {
    return 1;
}

// The job editor's view of the module (the job-root provider, data exchange and the
// job-control commands) lives in filesmodule_ui.so beside this library; programs with
// windows bind those procedures from there.
