// TavoraRunShots: the editor's SCHEDULE page with two schedules (on an in-memory scheduler),
// the STATUS page after a Backup Now of the job, and the HISTORY page with the job's runs,
// saved as screenshots at 800x600.
// Usage: TavoraRunShots JOB OUTPUT-FOLDER
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <cstdio>

#include "BackupNow.h"
#include "BackupTypeDlg.h"
#include "EditorTexts.h"
#include "SubViewSchedule.h"
#include "TavoraMainFrame.h"
#include "tavengine/TavModFactory.h"
#include "tavui/Prompt.h"
#include "tavui/TavColors.h"

namespace {
bool Save(QWidget& widget, const QString& file) {
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    const bool ok = widget.grab().save(file, "PNG");
    std::printf("%s %s\n", ok ? "saved" : "FAILED", file.toUtf8().constData());
    return ok;
}
}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: TavoraRunShots JOB OUTPUT-FOLDER\n");
        return 2;
    }
    TavoraColorDef::InitColorDef();
    const QString out = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(out);
    plat::SetTaskSchedulerOverride(plat::MakeMemoryScheduler());
    CTavModFactory hub(editortext::HUB_COMMAND_BASE);
    hub.EnableViews(true);
    hub.Reconnoiter();
    tavui::CScriptedPrompt prompt;
    bool full = true;
    tavui::SetDialogRunner([&](QDialog& dialog) {
        if (auto* type = qobject_cast<CBackupTypeDlg*>(&dialog)) type->SetFull(full);
        return int(QDialog::Accepted);
    });
    bool ok = true;
    {
        CTavoraMainFrame frame(&hub, prompt);
        frame.resize(800, 600);
        frame.show();
        if (!frame.OpenJob(argv[1])) {
            std::fprintf(stderr, "cannot open %s: %s\n", argv[1], prompt.LastMessage().c_str());
            return 1;
        }
        frame.SelectPage("SCHEDULE");
        auto* schedule = frame.findChild<CSubViewSchedule*>();
        schedule->hostProgram = [] { return (QCoreApplication::applicationDirPath() + "/TavCmdHost").toStdString(); };
        frame.findChild<QPushButton*>("1045")->click();
        full = false;
        frame.findChild<QPushButton*>("1045")->click();
        auto* list = frame.findChild<QTreeWidget*>("1043");
        ok &= list->topLevelItemCount() == 2;
        if (list->topLevelItemCount() > 0) list->setCurrentItem(list->topLevelItem(0));
        ok &= Save(frame, out + "/editor-schedule-800x600.png");

        QSignalSpy done(&frame.BackupNow(), &CBackupNow::finished);
        frame.Action(editortext::ID_TOOLS_BACKUP_NOW)->trigger();
        ok &= done.count() > 0 || done.wait(120000);
        if (prompt.LastMessage() != "Backup Finished.") {
            std::fprintf(stderr, "the backup did not finish: %s\n", prompt.LastMessage().c_str());
            ok = false;
        }
        ok &= Save(frame, out + "/editor-status-800x600.png");
        frame.SelectPage("HISTORY");
        ok &= Save(frame, out + "/editor-history-800x600.png");
        frame.Doc().SetModified(false);
    }
    tavui::SetDialogRunner(nullptr);
    hub.ReleaseModules();
    return ok ? 0 : 1;
}
