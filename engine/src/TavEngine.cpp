// CTavEngine: lifetime, restore hooks and notifications of the observer.
#include "tavengine/TavEngine.h"

#include "tavengine/TavEngineObserver.h"
#include "tavrep/TavException.h"

namespace {

// An observer is program code; whatever it throws stays on this side of the engine.
template <typename Call>
void Notify(CTavEngineObserver* observer, Call call) {
    if (observer == nullptr) return;
    try {
        call(observer);
    } catch (CTavException* e) {
        e->Delete();
    } catch (...) {
    }
}

}  // namespace

CTavEngine::CTavEngine() = default;
CTavEngine::~CTavEngine() = default;

void CTavEngine::Dispose() { delete this; }

int32_t CTavEngine::PreRestoreProcess(const std::string&, CTavRepository*) { return 1; }
int32_t CTavEngine::PostRestoreProcess(const std::string&, CTavRepository*) { return 1; }
int32_t CTavEngine::ContinueChecksum() { return 1; }

void CTavEngine::FireOnStart() {
    Notify(m_observer, [this](CTavEngineObserver* o) { o->OnTavEngineStart(this); });
}

void CTavEngine::FireOnProgress(const std::string& title, const std::string& item,
                                uint32_t percent) {
    Notify(m_observer,
           [&](CTavEngineObserver* o) { o->OnTavEngineProgress(this, title, item, percent); });
}

void CTavEngine::FireOnLogNotify(const std::string& text) {
    Notify(m_observer, [&](CTavEngineObserver* o) { o->OnTavEngineLogNotify(this, text); });
}

void CTavEngine::FireOnFinish() {
    Notify(m_observer, [this](CTavEngineObserver* o) { o->OnTavEngineFinish(this); });
}

void CTavEngine::FireOnCancelled() {
    Notify(m_observer, [this](CTavEngineObserver* o) { o->OnTavEngineCancelled(this); });
}

bool CTavEngine::ObserverWantsWorkTotals() const {
    if (m_observer == nullptr) return false;
    try {
        return m_observer->WantsWorkTotals();
    } catch (...) {
        return false;
    }
}

void CTavEngine::FireOnItemError(const std::string& item, const std::string& reason) {
    Notify(m_observer,
           [&](CTavEngineObserver* o) { o->OnTavEngineItemError(this, item, reason); });
}
