// CTavOeEngine: the restore half. Restoring Outlook Express data is not part of this
// release of the engine yet: a restore request is refused as failed, writing nothing.
#include "core/TavOeEngine.h"

int32_t CTavOeEngine::Restore(const std::string&, CTavRepository*) {
    SetEngineState(TAV_ENGINE_FAILED);
    return 0;
}
