// The Outlook Express module's exported entry points (extern "C", bound by the module hub).
#include <new>

#include "core/OeDataPositions.h"
#include "core/OeTexts.h"
#include "core/TavOeEngine.h"
#include "tavrep/TavException.h"

#define TAV_OE_EXPORT extern "C" __attribute__((visibility("default")))

// The module's descriptor; the text is static and the same on every call.
TAV_OE_EXPORT const char* GetTavModInfo() { return oetext::MODULE_DESCRIPTOR; }

// A new engine, released by the caller with Dispose; null when it cannot be made.
TAV_OE_EXPORT CTavEngine* CreateEngineOe() {
    try {
        return new CTavOeEngine;
    } catch (...) {
        // The hub reports the module without an engine; what was thrown is released here.
        TakeCurrentException();
        return nullptr;
    }
}

// Installs the identity mapping dialog of the module's view library (null removes it).
TAV_OE_EXPORT void TavOeSetMapIdentityPrompt(int (*prompt)(COeIdentityMapping*)) {
    if (prompt == nullptr) {
        CTavOeEngine::SetMapIdentityPrompt(nullptr);
        return;
    }
    CTavOeEngine::SetMapIdentityPrompt([prompt](COeIdentityMapping& mapping) { return prompt(&mapping); });
}

// The positions of the chunks a message-store node's chunk table names (for retention).
TAV_OE_EXPORT int32_t ListOeDataPositions(CTavRepository* repository, const TavNodeRec* node,
                                          TavPositionSink sink, void* context) {
    return OeListDataPositions(repository, node, sink, context);
}
