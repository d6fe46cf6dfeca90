// TavoraShots: opens a job in the editor's window and saves screenshots of it (the SETTINGS
// and FILES pages at 800x600, the backup condition dialog and both options pages), and of
// the message viewer that "View Dbx Contents" opens on a live message store.
// Usage: TavoraShots JOB OUTPUT-FOLDER [STORE.dbx]
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QTreeWidget>
#include <cstdio>

#include "BackupConditionDlg.h"
#include "EditorTexts.h"
#include "OptionDlg.h"
#include "TavoraMainFrame.h"
#include "core/DbxFileInput.h"
#include "ui/DbxBrowserDlg.h"
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
        std::fprintf(stderr, "usage: TavoraShots JOB OUTPUT-FOLDER [STORE.dbx]\n");
        return 2;
    }
    TavoraColorDef::InitColorDef();
    const QString out = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(out);
    CTavModFactory hub(editortext::HUB_COMMAND_BASE);
    hub.EnableViews(true);
    hub.Reconnoiter();
    tavui::CScriptedPrompt prompt;
    bool ok = true;
    {
        CTavoraMainFrame frame(&hub, prompt);
        frame.resize(800, 600);
        frame.show();
        if (!frame.OpenJob(argv[1])) {
            std::fprintf(stderr, "cannot open %s: %s\n", argv[1], prompt.LastMessage().c_str());
            return 1;
        }
        ok &= Save(frame, out + "/editor-settings-800x600.png");
        frame.SelectPage("FILES");
        ok &= Save(frame, out + "/editor-files-800x600.png");
        frame.SelectPage("SETTINGS");

        tavui::SetDialogRunner([&](QDialog& dialog) {
            dialog.show();
            if (auto* options = qobject_cast<COptionDlg*>(&dialog)) {
                auto* tree = options->findChild<QTreeWidget*>();
                ok &= Save(dialog, out + "/editor-options-settings.png");
                tree->setCurrentItem(tree->topLevelItem(1));
                ok &= Save(dialog, out + "/editor-options-excluded.png");
            } else {
                ok &= Save(dialog, out + "/editor-backup-conditions.png");
            }
            return int(QDialog::Rejected);
        });
        frame.findChild<QPushButton*>("1102")->click();
        frame.Action(editortext::ID_TOOLS_OPTIONS)->trigger();
        tavui::SetDialogRunner(nullptr);

        if (argc > 3) {
            DbxFileInput store(argv[3]);
            if (!store.IsOpen()) {
                std::fprintf(stderr, "cannot open %s\n", argv[3]);
                return 1;
            }
            CDbxBrowserDlg viewer(store, QFileInfo(QString::fromLocal8Bit(argv[3])).fileName(), prompt, &frame);
            viewer.resize(900, 560);
            viewer.show();
            viewer.SelectRow(0);
            ok &= Save(viewer, out + "/editor-dbx-viewer.png");
        }
    }
    hub.ReleaseModules();
    return ok ? 0 : 1;
}
