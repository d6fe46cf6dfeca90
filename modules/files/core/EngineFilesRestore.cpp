// CTavEngineFiles restore: writing stored files and folders back to disk.
#include "core/FilesTexts.h"
#include "core/TavEngineFiles.h"

// The restore half of the engine is not part of this build yet: a request is answered with a
// failed run and a log line that says so, never with a run that pretends to have restored.
int32_t CTavEngineFiles::Restore(const std::string&, CTavRepository*) {
    SetEngineState(TAV_ENGINE_FAILED);
    FireOnLogNotify(filestext::LOG_RESTORE_UNAVAILABLE);
    return 0;
}
