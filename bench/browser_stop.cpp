// bench_browser_stop REPOSITORY.tvr OUT-DIR [RUNS] [STOP-AFTER-SECONDS]: how fast the
// browser's Restore dialog answers "Stop" while it restores a large baseline. The dialog
// runs as a user drives it (Restore, OK at "Start restore now?", later Stop and Yes at
// "Do you want to stop restoring?") with scripted answers; the window's event loop runs
// throughout. Reported per run:
//   stop      from the Stop click to the dialog being idle again (the engine has stopped,
//             the engines are released and the window shows the baseline list)
//   max gap   the longest pause of the window's event loop during the run (a 5 ms timer):
//             how late a repaint or a click could be handled at worst
// The reference beside them is the same timer's longest pause while the window is idle.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BrowserMainDlg.h"
#include "BrowserTexts.h"
#include "RestoreDlg.h"
#include "tavengine/TavModFactory.h"
#include "tavui/Prompt.h"

namespace {

// Records the longest pause between ticks of a 5 ms timer.
class CGapMeter {
public:
    CGapMeter() {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            if (m_last >= 0) m_max = std::max(m_max, now - m_last);
            m_last = now;
        });
    }
    void Start() {
        m_max = 0;
        m_last = -1;
        m_clock.start();
        m_timer.start();
    }
    double StopMs() {
        m_timer.stop();
        return double(m_max) / 1e6;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = -1, m_max = 0;
};

// Runs the event loop for `ms` milliseconds.
void Spin(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_browser_stop REPOSITORY.tvr OUT-DIR [RUNS] [STOP-AFTER-SECONDS]\n");
        return 2;
    }
    const std::string repo = argv[1];
    const QString out = QString::fromLocal8Bit(argv[2]);
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    const double stopAfter = argc > 4 ? std::atof(argv[4]) : 2.0;

    CTavModFactory hub(browsertext::HUB_COMMAND_BASE);
    hub.Reconnoiter();
    tavui::CScriptedPrompt prompt;
    CBrowserMainDlg window(&hub, prompt);
    window.showSummary = [](const std::string&, const std::string&) {};
    if (!window.OpenRepository(repo)) {
        std::fprintf(stderr, "bench_browser_stop: cannot open %s\n", repo.c_str());
        return 1;
    }
    window.show();

    CGapMeter gaps;
    gaps.Start();
    Spin(1000);
    const double idleGap = gaps.StopMs();
    std::printf("idle window: longest event-loop pause %.1f ms (reference)\n", idleGap);

    std::vector<double> stops, runGaps;
    for (int run = 1; run <= runs; ++run) {
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        double stopMs = -1, gapMs = -1;
        bool ran = false;
        window.execDialog = [&](QDialog& d) {
            auto* dialog = dynamic_cast<CRestoreDlg*>(&d);
            if (dialog == nullptr) return 0;
            dialog->show();
            dialog->Check(1021)->setChecked(false);  // not to the original location
            dialog->DestinationEdit()->setText(out);
            prompt.answers = {tavui::ID_OK, tavui::ID_YES};
            gaps.Start();
            dialog->OnRestore();
            if (!dialog->IsRunning()) return 0;
            ran = true;
            Spin(int(stopAfter * 1000));
            if (!dialog->IsRunning()) {
                gapMs = gaps.StopMs();
                return 0;  // ended before the stop: the baseline is too small
            }
            QElapsedTimer clock;
            clock.start();
            dialog->OnRestore();  // "Stop", answered Yes
            while (dialog->IsRunning()) QApplication::processEvents(QEventLoop::AllEvents, 1);
            stopMs = double(clock.nsecsElapsed()) / 1e6;
            gapMs = gaps.StopMs();
            return 0;
        };
        window.OnRestore();
        if (!ran) {
            std::fprintf(stderr, "bench_browser_stop: the restore did not start\n");
            return 1;
        }
        if (stopMs < 0) {
            std::fprintf(stderr, "bench_browser_stop: the restore ended within %.1f s; give a larger "
                                 "repository or a shorter STOP-AFTER-SECONDS\n", stopAfter);
            return 1;
        }
        stops.push_back(stopMs);
        runGaps.push_back(gapMs);
        std::printf("run %d: stop after %.1f s answered in %.1f ms; longest event-loop pause %.1f ms\n", run,
                    stopAfter, stopMs, gapMs);
    }
    std::sort(stops.begin(), stops.end());
    std::sort(runGaps.begin(), runGaps.end());
    std::printf("median: stop %.1f ms (target 100 ms), longest pause %.1f ms (idle %.1f ms, ratio %.2f)\n",
                stops[stops.size() / 2], runGaps[runGaps.size() / 2], idleGap,
                idleGap > 0 ? runGaps[runGaps.size() / 2] / idleGap : 0.0);
    QDir(out).removeRecursively();
    hub.ReleaseModules();
    return 0;
}
