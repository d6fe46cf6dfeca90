// The engine sequence of a restore.
#include "RestoreSequence.h"

#include <exception>

#include "tavengine/TavEngine.h"
#include "tavengine/TavModFactory.h"
#include "tavrep/FormatAdaptor.h"
#include "tavrep/TavException.h"

namespace tavctl {

std::string FourCCText(uint32_t id) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = char((id >> shift) & 0xFF);
        text += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return text;
}

CRestoreSequence::CRestoreSequence(CTavModFactory& hub, CTavRepository& repository,
                                   std::string request, CTavEngineObserver* observer,
                                   bool prepare, Reporter reporter)
    : m_hub(hub), m_repository(repository), m_request(std::move(request)), m_observer(observer),
      m_prepare(prepare), m_report(std::move(reporter)) {}

CRestoreSequence::~CRestoreSequence() { Finish(); }

template <typename Call>
bool CRestoreSequence::Guarded(const std::string& rootName, const std::string& module, Call call) {
    std::string problem;
    try {
        call();
        return true;
    } catch (...) {
        problem = TakeCurrentException();
    }
    if (m_report) m_report(Problem::Threw, rootName, module, problem);
    return false;
}

bool CRestoreSequence::Prepare(const std::vector<TavNodeRec>& roots) {
    for (const TavNodeRec& root : roots) {
        const std::string name = Utf16FieldToUtf8(root.name, NODE_NAME_CHARS);
        const std::string module = FourCCText(root.moduleId);
        const TavModDesc* desc = m_hub.GetModDesc(root.moduleId);
        if (desc == nullptr || desc->createEngine == nullptr) {
            ++m_failed;
            if (m_report) m_report(Problem::NoModule, name, module, {});
            continue;
        }
        CTavEngine* engine = nullptr;
        Guarded(name, module, [&] { engine = desc->createEngine(); });
        if (engine == nullptr) {
            ++m_failed;
            if (m_report) m_report(Problem::NoEngine, name, module, {});
            continue;
        }
        engine->SubscribeNotify(m_observer);
        m_engines.push_back({engine, name});
        if (!m_prepare) continue;
        int32_t goOn = 0;
        Guarded(name, module, [&] { goOn = engine->PreRestoreProcess(m_request, &m_repository); });
        if (goOn == 0) {
            ++m_failed;
            if (m_report) m_report(Problem::Refused, name, module, {});
            return false;
        }
    }
    return true;
}

void CRestoreSequence::Run(const std::function<bool()>& stopped, const std::function<void()>& after) {
    for (const Prepared& prepared : m_engines) {
        if (stopped()) {
            m_cancelled = true;
            break;
        }
        int32_t done = 0;
        m_running.store(prepared.engine);
        const bool returned =
            Guarded(prepared.rootName, {}, [&] { done = prepared.engine->Restore(m_request, &m_repository); });
        m_running.store(nullptr);
        if (after) after();
        ++m_run;
        const uint32_t state = prepared.engine->GetEngineState();
        if (state == TAV_ENGINE_CANCELLED || stopped()) {
            m_cancelled = true;
        } else if (!returned || done == 0 || state != TAV_ENGINE_FINISHED) {
            ++m_failed;
            if (returned && m_report) m_report(Problem::Failed, prepared.rootName, {}, {});
        }
    }
}

void CRestoreSequence::CancelRunning() {
    if (CTavEngine* engine = m_running.load()) engine->CancelOperation();
}

void CRestoreSequence::Finish() {
    if (m_finished) return;
    m_finished = true;
    for (const Prepared& prepared : m_engines) {
        if (m_prepare)
            Guarded(prepared.rootName, {}, [&] { prepared.engine->PostRestoreProcess(m_request, &m_repository); });
        prepared.engine->SubscribeNotify(nullptr);
        Guarded(prepared.rootName, {}, [&] { prepared.engine->Dispose(); });
    }
    m_engines.clear();
}

}  // namespace tavctl
