// TvrBrowserShots: opens a repository in the browser's windows and saves screenshots of
// them (the main window at 800x600 and 1920x1080 with a folder selected, the Restore and
// Extract dialogs, and the message viewer when the repository holds a message store).
// Usage: TvrBrowserShots REPOSITORY OUTPUT-FOLDER [FOLDER-NAME] [--oe REPOSITORY]
//   --oe  a repository with an Outlook Express backup: its main window and the message
//         viewer over its stored Inbox are saved too.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>

#include "BrowserMainDlg.h"
#include "BrowserTexts.h"
#include "ExtractItemDlg.h"
#include "RestoreDlg.h"
#include "tavengine/TavModFactory.h"
#include "tavui/Prompt.h"
#include "tavui/TavTlcDataRep.h"
#include "tavui/TreeListCtrl.h"

namespace {

void Settle() {
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

bool Save(QWidget& widget, const QString& file) {
    Settle();
    const bool ok = widget.grab().save(file, "PNG");
    std::printf("%s %s\n", ok ? "saved" : "FAILED", file.toUtf8().constData());
    return ok;
}

// Selects the folder named `name` (searched breadth-first among folders), else the
// deepest folder along the first children.
CTlcDataProvider* PickFolder(CTreeListCtrl& tree, const std::string& name) {
    std::vector<CTlcDataProvider*> level(tree.Roots().begin(), tree.Roots().end());
    CTlcDataProvider* last = level.empty() ? nullptr : level.front();
    for (int depth = 0; depth < 6 && !level.empty(); ++depth) {
        std::vector<CTlcDataProvider*> next;
        for (CTlcDataProvider* p : level) {
            if (!name.empty() && p->Name().size() >= name.size() &&
                p->Name().compare(p->Name().size() - name.size(), name.size(), name) == 0)
                return p;
            tree.ListChildren(p);
            for (CTlcDataProvider* c : p->Children())
                if (c->Kind() == TLC_KIND_FOLDER) next.push_back(c);
        }
        if (!next.empty()) last = next.front();
        level = next;
    }
    return last;
}

CTlcDataProvider* Named(CTreeListCtrl& tree, CTlcDataProvider* parent, const std::string& name) {
    if (parent == nullptr) return nullptr;
    tree.ListChildren(parent);
    for (CTlcDataProvider* c : parent->Children())
        if (c->Name() == name) return c;
    return parent->Children().empty() ? nullptr : parent->Children().front();
}

// The main window with the stored Inbox selected, and the message viewer over it.
bool ShootOutlookExpress(CTavModFactory& hub, const std::string& repo, const QString& out) {
    tavui::CQtPrompt prompt;
    CBrowserMainDlg window(&hub, prompt);
    if (!window.OpenRepository(repo)) {
        std::fprintf(stderr, "TvrBrowserShots: cannot open %s\n", repo.c_str());
        return false;
    }
    window.show();
    window.resize(1024, 700);
    CTreeListCtrl& tree = *window.TreeList();
    CTlcDataProvider* root = nullptr;
    for (CTlcDataProvider* r : tree.Roots())
        if (r->Name() == "Outlook Express") root = r;
    CTlcDataProvider* messages = Named(tree, Named(tree, root, ""), "Messages");
    CTlcDataProvider* inbox = Named(tree, messages, "Inbox");
    const TavModDesc* module = hub.GetModDesc("oe");
    if (inbox == nullptr || module == nullptr || module->repControl.commands.empty()) {
        std::fprintf(stderr, "TvrBrowserShots: no stored message store in %s\n", repo.c_str());
        return false;
    }
    tree.SelectProvider(inbox);
    bool ok = Save(window, out + "/main-oe.png");
    bool shown = false;
    tavui::SetDialogRunner([&](QDialog& dialog) {
        dialog.show();
        dialog.resize(1000, 640);
        shown = true;
        ok = Save(dialog, out + "/dbx-viewer.png") && ok;
        dialog.reject();
        return 0;
    });
    window.OnModuleCommand(module->repControl.commands.front().commandId);
    tavui::SetDialogRunner(nullptr);
    return ok && shown;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: TvrBrowserShots REPOSITORY OUTPUT-FOLDER [FOLDER-NAME]\n");
        return 2;
    }
    const std::string repo = argv[1];
    const QString out = QString::fromLocal8Bit(argv[2]);
    std::string folderName, oeRepo;
    for (int i = 3; i < argc; ++i) {
        if (std::string(argv[i]) == "--oe" && i + 1 < argc) oeRepo = argv[++i];
        else folderName = argv[i];
    }
    QDir().mkpath(out);
    CTavModFactory hub(browsertext::HUB_COMMAND_BASE);
    hub.EnableViews(true);
    hub.Reconnoiter();
    tavui::CQtPrompt prompt;
    bool ok = true;
    {
        CBrowserMainDlg window(&hub, prompt);
        if (!window.OpenRepository(repo)) {
            std::fprintf(stderr, "TvrBrowserShots: cannot open %s\n", repo.c_str());
            return 1;
        }
        window.show();
        CTlcDataProvider* folder = PickFolder(*window.TreeList(), folderName);
        window.TreeList()->SelectProvider(folder);
        if (window.TreeList()->List()->topLevelItemCount() > 1)
            window.TreeList()->List()->setCurrentItem(window.TreeList()->List()->topLevelItem(1));
        for (QSize size : {QSize(800, 600), QSize(1920, 1080)}) {
            window.resize(size);
            ok = Save(window, QString("%1/main-%2x%3.png").arg(out).arg(size.width()).arg(size.height())) && ok;
        }
        window.resize(1024, 700);
        {
            CRestoreDlg restore(window.RunContext(), window.Document().LoadedNumber(), false, &window);
            restore.show();
            ok = Save(restore, out + "/restore.png") && ok;
        }
        const TavNodeRec* node = ProviderNode(folder);
        const TavNodeRec* root = folder ? ProviderNode(folder->TopMostParent()) : nullptr;
        if (node != nullptr && root != nullptr) {
            CExtractItemDlg extract(window.RunContext(), *node, *root, window.Document().LoadedNumber(), false, &window);
            extract.show();
            ok = Save(extract, out + "/extract.png") && ok;
        }
    }
    if (!oeRepo.empty()) ok = ShootOutlookExpress(hub, oeRepo, out) && ok;
    hub.ReleaseModules();
    return ok ? 0 : 1;
}
