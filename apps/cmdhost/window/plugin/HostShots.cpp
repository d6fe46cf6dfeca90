// Screenshots of the command host's window during a run: TavCmdHostShots JOB OUTDIR runs a
// full backup of JOB in the window and saves cmdhost-window.png while the run is under
// way (set TAVORA_TEST_THROTTLE_MS so that the run lasts long enough).
#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "HostWindow.h"
#include "tavengine/TavModFactory.h"
#include "tavui/Prompt.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: TavCmdHostShots JOB OUTDIR\n");
        return 2;
    }
    QApplication app(argc, argv);
    CTavModFactory hub(60000);
    hub.Reconnoiter();
    tavui::CScriptedPrompt prompt;  // the closing "Backup Finished." is not waited for
    const QString out = QString::fromLocal8Bit(argv[2]);
    bool saved = false;
    int status = 1;
    {
        cmdhost::CHostWindow window(hub, prompt, false);
        window.show();
        auto grab = [&] {
            if (saved) return;
            saved = window.grab().save(out + "/cmdhost-window.png");
        };
        QTimer::singleShot(1500, &window, grab);
        QTimer::singleShot(0, &window, [&] {
            status = window.HandleTokens({"TavCmdHost", "JOB_BACKUP", argv[1], "FULL"});
            grab();  // a run that ended sooner than the timer
            QApplication::quit();
        });
        QApplication::exec();
    }
    hub.ReleaseModules();
    std::printf("run status %d, screenshot %s\n", status, saved ? "saved" : "NOT saved");
    return saved ? 0 : 1;
}
