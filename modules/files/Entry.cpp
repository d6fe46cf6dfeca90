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
// job-control commands) is not part of this build. Its procedures answer as a module without
// a view does: no provider, nothing exchanged, every command unavailable and not handled.
TAV_MODULE_EXPORT CTlcDataProvider* CreateFilesJobRoot(CTreeListCtrl*, const XMLNode*,
                                                       CTavJobHelper*) {
    return nullptr;
}
TAV_MODULE_EXPORT int32_t DataExchange(CTlcDataProvider*, const XMLNode*, int32_t) { return 0; }
TAV_MODULE_EXPORT int32_t UpdateCmdUI(intptr_t, intptr_t, intptr_t, intptr_t) { return 0; }
TAV_MODULE_EXPORT int32_t OnAddFile(intptr_t, intptr_t, intptr_t, intptr_t) { return 0; }
TAV_MODULE_EXPORT int32_t OnAddFolder(intptr_t, intptr_t, intptr_t, intptr_t) { return 0; }
TAV_MODULE_EXPORT int32_t OnRemoveItem(intptr_t, intptr_t, intptr_t, intptr_t) { return 0; }
TAV_MODULE_EXPORT int32_t OnFileFiltering(intptr_t, intptr_t, intptr_t, intptr_t) { return 0; }
TAV_MODULE_EXPORT int32_t OnSelection(intptr_t, intptr_t, intptr_t, intptr_t) { return 0; }
TAV_MODULE_EXPORT int32_t OnEventFilesDrop(intptr_t, intptr_t, intptr_t, intptr_t) { return 0; }
