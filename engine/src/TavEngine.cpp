// CTavEngine: lifetime, restore hooks and notifications of the observer.
#include "tavengine/TavEngine.h"

#include "EngineTexts.h"
#include "tavengine/TavEngineObserver.h"
#include "platform/TextFormat.h"
#include "tavrep/TavException.h"

// An observer is program code: whatever it throws is counted as an error of the run and told
// to the observer's own log once; a log call that fails as well is only counted.
template <typename Call>
void CTavEngine::Notify(Call call) {
    if (m_observer == nullptr) return;
    std::string failure;
    try {
        call(m_observer);
        return;
    } catch (...) {
        ++m_thrown;
        try {
            failure = TakeCurrentException();
        } catch (...) {
        }
    }
    if (m_inObserverFault) return;
    m_inObserverFault = true;
    try {
        m_observer->OnTavEngineLogNotify(this, plat::Format(engtext::LOG_OBSERVER_THREW, failure.c_str()));
    } catch (...) {
        try {
            TakeCurrentException();
        } catch (...) {
        }
    }
    m_inObserverFault = false;
}

std::string CTavEngine::LogThrown(const char* format) {
    ++m_thrown;
    std::string text;
    try {
        text = TakeCurrentException();
        WriteLog(plat::Format(format, text.c_str()));
    } catch (...) {
        // Out of memory while reporting: the error stays counted.
    }
    return text;
}

void CTavEngine::WriteLog(const std::string& text) { FireOnLogNotify(text); }

CTavEngine::CTavEngine() = default;
CTavEngine::~CTavEngine() = default;

void CTavEngine::Dispose() { delete this; }

int32_t CTavEngine::PreRestoreProcess(const std::string&, CTavRepository*) { return 1; }
int32_t CTavEngine::PostRestoreProcess(const std::string&, CTavRepository*) { return 1; }
int32_t CTavEngine::ContinueChecksum() { return 1; }

void CTavEngine::FireOnStart() {
    Notify([this](CTavEngineObserver* o) { o->OnTavEngineStart(this); });
}

void CTavEngine::FireOnProgress(const std::string& title, const std::string& item,
                                uint32_t percent) {
    Notify(
        [&](CTavEngineObserver* o) { o->OnTavEngineProgress(this, title, item, percent); });
}

void CTavEngine::FireOnLogNotify(const std::string& text) {
    Notify([&](CTavEngineObserver* o) { o->OnTavEngineLogNotify(this, text); });
}

void CTavEngine::FireOnFinish() {
    Notify([this](CTavEngineObserver* o) { o->OnTavEngineFinish(this); });
}

void CTavEngine::FireOnCancelled() {
    Notify([this](CTavEngineObserver* o) { o->OnTavEngineCancelled(this); });
}

void CTavEngine::FireOnItemError(const std::string& item, const std::string& reason) {
    Notify(
        [&](CTavEngineObserver* o) { o->OnTavEngineItemError(this, item, reason); });
}
