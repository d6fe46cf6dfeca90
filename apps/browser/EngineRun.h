// CEngineRun: one restore or extract run of the browser. The engines are made and prepared
// on the window's thread (a module may ask the user then), Restore runs on a worker thread
// so that the window keeps painting and "Stop" is heard at once, and the post-processing
// and release happen on the window's thread again. What the engines report arrives as Qt
// signals on the window's thread.
#pragma once
#include <QObject>
#include <QString>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "RestoreSequence.h"
#include "tavengine/TavEngineObserver.h"

class CTavModFactory;
class CTavRepository;

class CEngineRun : public QObject, public CTavEngineObserver {
    Q_OBJECT
public:
    // `prepare`: PreRestoreProcess and PostRestoreProcess around (a restore, not an extract).
    CEngineRun(CTavModFactory& hub, CTavRepository& repository, std::string request, bool prepare,
               QObject* parent = nullptr);
    ~CEngineRun() override;

    // Makes and prepares the engines; false when a module refused.
    bool Prepare(const std::vector<TavNodeRec>& roots);
    // Runs Restore on a worker thread; `finished` is emitted when it ends.
    void Start();
    // Runs Restore on this thread (for callers without an event loop).
    void RunHere();
    // Asks the running engine to stop at once and keeps further engines from starting.
    void RequestStop();
    bool StopRequested() const { return m_stop.load(); }
    bool IsRunning() const { return m_running.load(); }
    // Waits for the worker, then post-processes and releases every engine.
    void Finish();

    std::string Log() const;
    // The log text added since the last call; the next `logChanged` comes after it.
    std::string TakeNewLog();
    const tavctl::CRestoreSequence& Sequence() const { return *m_sequence; }

    // CTavEngineObserver (the worker's thread).
    void OnTavEngineProgress(CTavEngine* engine, const std::string& title, const std::string& item,
                             uint32_t percent) override;
    void OnTavEngineStart(CTavEngine*) override {}
    void OnTavEngineFinish(CTavEngine* engine) override;
    void OnTavEngineCancelled(CTavEngine* engine) override;
    void OnTavEngineLogNotify(CTavEngine* engine, const std::string& text) override;

    // The separator each engine's part of the log ends with.
    static std::string Separator();

signals:
    void progress(QString status, int percent);  // on the window's thread, once per turn at most
    void progressPending();  // the worker has a newer report (internal)
    void logChanged();  // once until TakeNewLog, however many lines arrive meanwhile
    void cancelledByEngine();
    void finished();

private:
    void Append(const std::string& text);
    void DeliverProgress();
    void Report(tavctl::CRestoreSequence::Problem problem, const std::string& root,
                const std::string& module, const std::string& detail);

    std::unique_ptr<tavctl::CRestoreSequence> m_sequence;
    std::thread m_worker;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};
    mutable std::mutex m_logLock;
    std::string m_log;
    size_t m_logTaken = 0;
    bool m_logPending = false;
    std::string m_pendingStatus;  // the newest report not yet delivered (under m_logLock)
    int m_pendingPercent = 0;
    bool m_progressPending = false;
    int m_lastPercent = -1;
    std::chrono::steady_clock::time_point m_lastReport;
};
