// A restore's progress reaches the window once per turn of its event loop, with the newest
// report: a window slower than the engine never gathers a queue of reports that a click
// ("Stop") would have to wait behind.
#include <QSignalSpy>
#include <QtTest>
#include <thread>

#include "BrowserTexts.h"
#include "EngineRun.h"
#include "tavengine/TavModFactory.h"
#include "tavrep/TavRepository.h"

class EngineRunTest : public QObject {
    Q_OBJECT

private slots:
    void reportsWaitInOneSlot() {
        CTavModFactory hub{browsertext::HUB_COMMAND_BASE};
        CTavRepository repository;
        CEngineRun run(hub, repository, "", false);
        QSignalSpy progress(&run, &CEngineRun::progress);
        // The engine's thread reports 500 times while the window's loop does not turn.
        std::thread engine([&run] {
            for (uint32_t i = 1; i <= 500; ++i)
                run.OnTavEngineProgress(nullptr, "Restoring", "/f" + std::to_string(i), i % 101);
        });
        engine.join();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        QCOMPARE(progress.count(), 1);
        QCOMPARE(progress.at(0).at(0).toString(), QString("Restoring: /f500"));
        QCOMPARE(progress.at(0).at(1).toInt(), 500 % 101);
    }
};

QTEST_MAIN(EngineRunTest)
#include "EngineRunTest.moc"
