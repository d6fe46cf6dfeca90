// TavoraShots: opens a job in the editor's window and saves screenshots of it (the SETTINGS
// and FILES pages at 800x600, the FILES page's filter dialogs, the backup condition dialog
// and both options pages), and of the message viewer that "View Dbx Contents" opens on a
// live message store.
// Usage: TavoraShots JOB OUTPUT-FOLDER [STORE.dbx]
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <cstdio>

#include "BackupConditionDlg.h"
#include "EditorTexts.h"
#include "OptionDlg.h"
#include "SubViewFiles.h"
#include "tavui/TreeListCtrl.h"
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
CTlcDataProvider* ChildNamed(CTlcDataProvider* parent, const char* name) {
    if (parent == nullptr) return nullptr;
    for (CTlcDataProvider* c : parent->Children())
        if (c->Name() == name) return c;
    return nullptr;
}

// The FILES page with the job's "docs" folder partly selected, then its filter dialogs.
bool ShootFilesPage(CTavoraMainFrame& frame, const QString& out) {
    auto* page = frame.findChild<CSubViewFiles*>(QString::number(CSubViewFiles::IDD));
    CTreeListCtrl* treeList = page->TreeList();
    if (treeList->Roots().empty() || treeList->Roots().front()->Children().empty()) {
        std::fprintf(stderr, "the job shows no sources\n");
        return false;
    }
    CTlcDataProvider* source = treeList->Roots().front()->Children().front();
    treeList->ListChildren(source);
    CTlcDataProvider* docs = ChildNamed(source, "docs");
    treeList->ListChildren(docs);
    if (CTlcDataProvider* numbers = ChildNamed(docs, "numbers.txt")) numbers->ChangeCheckState(1);
    treeList->SelectProvider(docs);
    treeList->RefreshStates();
    bool ok = Save(frame, out + "/editor-files-800x600.png");
    frame.resize(1280, 800);
    ok &= Save(frame, out + "/editor-files-1280x800.png");
    frame.resize(800, 600);
    auto press = [&](const char* title) {
        for (QPushButton* b : page->CommandButtons())
            if (b->text() == title) b->click();
    };
    tavui::SetDialogRunner([&](QDialog& dialog) {
        dialog.show();
        if (dialog.objectName() == "CFileFilteringDlg") {
            dialog.findChild<QLineEdit*>("included")->setText("*.txt;*.doc");
            dialog.findChild<QLineEdit*>("excluded")->setText("*.tmp");
            ok &= Save(dialog, out + "/editor-file-filtering.png");
            dialog.accept();
            return int(QDialog::Accepted);
        }
        return int(QDialog::Rejected);
    });
    press("File Filtering...");
    // A second filter, then "Show All Filters" from its dialog.
    tavui::SetDialogRunner([&](QDialog& dialog) {
        if (dialog.objectName() == "CFileFilteringDlg") {
            dialog.findChild<QLineEdit*>("excluded")->setText("*.bak");
            dialog.accept();
            dialog.findChild<QPushButton*>("showAll")->click();
            return int(QDialog::Accepted);
        }
        dialog.show();
        ok &= Save(dialog, out + "/editor-all-filters.png");
        return int(QDialog::Rejected);
    });
    treeList->SelectProvider(ChildNamed(docs, "notes"));
    press("File Filtering...");
    tavui::SetDialogRunner([&](QDialog& dialog) {
        dialog.show();
        ok &= Save(dialog, out + "/editor-select-file-type.png");
        return int(QDialog::Rejected);
    });
    treeList->SelectProvider(docs);
    press("Selection...");
    tavui::SetDialogRunner(nullptr);
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
        ok &= ShootFilesPage(frame, out);
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
