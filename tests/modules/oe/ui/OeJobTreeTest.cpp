// The Outlook Express job tree as the editor's FILES page drives it through the module hub:
// identities and mail folders of fake Wine identities, check states written into the job
// and read back, the command rules, a damaged folder list, and the viewer on a live store.
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>
#include <sstream>

#include "core/DbxViewerModel.h"
#include "core/TavJobOeHelper.h"
#include "modules/oe/OeTestEnv.h"
#include "platform/Process.h"
#include "tavengine/TavJobHelper.h"
#include "tavengine/TavModFactory.h"
#include "tavui/Prompt.h"
#include "tavui/TreeListCtrl.h"
#include "ui/DbxBrowserDlg.h"

namespace {
using namespace oetest;
const std::string LIVE_STORE = std::string(TAV_TESTDATA_DIR) + "/dbx/IPED/test_OutlookDBX.dbx";

CTlcDataProvider* Child(CTlcDataProvider* parent, const std::string& name) {
    if (parent == nullptr) return nullptr;
    parent->EnsureChildren();
    for (CTlcDataProvider* c : parent->Children())
        if (c->Name() == name) return c;
    return nullptr;
}

std::vector<std::string> Names(CTlcDataProvider* parent) {
    parent->EnsureChildren();
    std::vector<std::string> names;
    for (CTlcDataProvider* c : parent->Children()) names.push_back(c->Name());
    return names;
}

class CChangeFlag : public CTavJobObserver {
public:
    void OnTavJobChanged(CTavJobHelper*, int32_t flag) override { changed = flag != 0; }
    bool changed = false;
};

int Tavctl(const std::vector<std::string>& args, const std::string& outFile = "/dev/null") {
    std::string command = "'" TAVCTL_PATH "'";
    for (const std::string& a : args) command += " '" + a + "'";
    return plat::RunProcess({"/bin/sh", "-c", command + " >'" + outFile + "' 2>&1"});
}

// The tree the FILES page would build: the module's job root over the job's "oe" node.
struct Page {
    CTavModFactory hub{61000};
    CTreeListCtrl control;
    const TavModDesc* oe = nullptr;
    CTlcDataProvider* root = nullptr;

    Page() {
        hub.EnableViews(true);
        hub.Reconnoiter({TAV_MODULES_DIR});
        oe = hub.GetModDesc("oe");
    }
    ~Page() { control.ClearTree(); }
    void Load(CTavJobHelper& job) {
        QVERIFY(oe != nullptr && oe->missingProcs.empty());
        control.ClearTree();
        XMLNode node = job.GetBackupNode("oe");
        if (node.IsEmpty()) node = job.AddBackupNode(oe->title, oe->name);
        root = hub.CreateJobRoot(oe, &control, &node, &job);
        QVERIFY(root != nullptr);
        control.InsertRoot(root);
        QCOMPARE(oe->dataExchange(root, &node, 0), 1);
    }
    void Save(CTavJobHelper& job) {
        XMLNode node = job.GetBackupNode("oe");
        QCOMPARE(oe->dataExchange(root, &node, 1), 1);
    }
    int CanView(CTlcDataProvider* item) const {
        return oe->jobControl.updateProc(intptr_t("OnViewDbxContents"), intptr_t(root),
                                         intptr_t(item), 0);
    }
    CTlcDataProvider* Path(const std::vector<std::string>& names) const {
        CTlcDataProvider* item = root;
        for (const std::string& name : names) item = Child(item, name);
        return item;
    }
    // Each item's check state as shown (1 unchecked, 2 checked, 3 partly).
    void ExpectStates(const std::vector<std::pair<std::vector<std::string>, int>>& rows) const {
        for (const auto& [path, state] : rows) {
            CTlcDataProvider* item = Path(path);
            QVERIFY2(item != nullptr, path.empty() ? "root" : path.back().c_str());
            QCOMPARE(item->CheckState(), state);
        }
    }
};

// The editor over two identities: "Main Identity" with the usual folders (its Inbox a real
// store) and "Work" whose folder list lists nothing, or is `workFolders` when given; the page
// loaded with an empty job; prompts are scripted.
struct Editor {
    COeTestEnv env;
    tavui::CScriptedPrompt prompt;
    Page page;
    CTavJobHelper job;

    explicit Editor(const std::string& workFolders = "") {
        env.WriteUserReg({Ident(ID_A, "Main Identity", "anna"), Ident(ID_B, "Work", "anna")});
        const std::string a = env.LocalStore("anna", ID_A);
        env.WriteStore(a, StandardFolders(), {{"Outbox.dbx", 100}, {"Projects.dbx", 50}});
        tavtest::WriteFile(a + "Inbox.dbx", tavtest::ReadFile(LIVE_STORE));
        env.WriteStore(env.LocalStore("anna", ID_B), {}, {});
        if (!workFolders.empty())
            tavtest::WriteFile(env.LocalStore("anna", ID_B) + "Folders.dbx", workFolders);
        tavui::SetSharedPrompt(&prompt);
        page.Load(job);
    }
    ~Editor() {
        tavui::SetDialogRunner(nullptr);
        tavui::SetSharedPrompt(nullptr);
    }
};

// Whether the saved job names this exclusion (ExcludedItem's answer).
int Excluded(CTavJobHelper& job, const char* id, const char* item, int mode = OE_SEARCH_EXACT) {
    return CTavJobOeHelper(job.GetBackupNode("oe"), &job).SearchExcludedItem(id, item, mode);
}

}  // namespace

class OeJobTreeTest : public QObject {
    Q_OBJECT

private slots:
    void uncheckedItemsBecomeExclusionsAndReadBack() {
        Editor editor;
        auto& [env, prompt, page, job] = editor;
        CChangeFlag flag;
        job.SetObserver(&flag);

        // A job without identities backs up every one: all checked.
        QCOMPARE(page.root->CheckState(), TLC_CHECKED);
        QCOMPARE(Names(page.root), (std::vector<std::string>{"Main Identity", "Work"}));
        CTlcDataProvider* main = page.Path({"Main Identity"});
        QCOMPARE(Names(main), (std::vector<std::string>{"Messages", "Preference", "Rules",
                                                        "Blocksenders", "Signatures"}));
        CTlcDataProvider* messages = Child(main, "Messages");
        QCOMPARE(Names(messages), (std::vector<std::string>{"Inbox", "Outbox"}));
        QCOMPARE(Names(Child(messages, "Inbox")), (std::vector<std::string>{"Projects"}));
        QCOMPARE(page.root->RenderChildRow(*main),
                 (std::vector<std::string>{"Main Identity", ID_A}));
        const auto rows = Child(messages, "Inbox")->GetDetailRows();
        QCOMPARE(rows[2], (std::vector<std::string>{"Message Count", "12"}));
        QCOMPARE(rows[5][1], env.LocalStore("anna", ID_A) + "Inbox.dbx");

        // "View Dbx Contents" only on real folders.
        QCOMPARE(page.CanView(messages) + page.CanView(main), 0);
        QCOMPARE(page.CanView(Child(messages, "Inbox")), 1);

        // Untick Outbox and Work's Rules: the job is marked changed, then saved.
        flag.changed = false;
        Child(messages, "Outbox")->ChangeCheckState(TLC_UNCHECKED);
        QVERIFY(flag.changed);
        page.Path({"Work", "Rules"})->ChangeCheckState(TLC_UNCHECKED);
        QCOMPARE(page.root->CheckState(), TLC_PARTLY);
        page.Save(job);
        CTavJobOeHelper model(job.GetBackupNode("oe"), &job);
        XMLNode excluded;
        QCOMPARE(model.DoSearchExcludedItem(ID_A, ".Messages.Outbox.", excluded, OE_SEARCH_EXACT),
                 1);
        QCOMPARE(excluded.GetAttribute("pid"), std::string("oemg"));
        QCOMPARE(excluded.GetAttribute("dbxname"), std::string("Outbox.dbx"));
        QCOMPARE(Excluded(job, ID_B, ".Rules."), 1);
        QCOMPARE(Excluded(job, ID_A, ".Messages.Inbox.", OE_SEARCH_ALL), 0);

        const std::string saved = env.Root() + "/editor.tvj";
        QVERIFY(job.Save(saved));

        // Reopened: the same states, and saving again changes nothing.
        CTavJobHelper reopened;
        QVERIFY(reopened.Load(saved));
        const std::string before = reopened.GetXmlString();
        page.Load(reopened);
        page.ExpectStates({{{}, TLC_PARTLY},
                           {{"Main Identity"}, TLC_PARTLY},
                           {{"Main Identity", "Messages"}, TLC_PARTLY},
                           {{"Main Identity", "Messages", "Outbox"}, TLC_UNCHECKED},
                           {{"Main Identity", "Messages", "Inbox", "Projects"}, TLC_CHECKED},
                           {{"Main Identity", "Rules"}, TLC_CHECKED},
                           {{"Work", "Rules"}, TLC_UNCHECKED},
                           {{"Work", "Preference"}, TLC_CHECKED}});
        page.Save(reopened);
        QCOMPARE(reopened.GetXmlString(), before);

        // Reloaded in place while a folder is selected: the root shows its identities again.
        page.control.SelectProvider(page.Path({"Main Identity", "Messages", "Outbox"}));
        QCOMPARE(page.control.List()->topLevelItemCount(), 6);
        XMLNode node = reopened.GetBackupNode("oe");
        QCOMPARE(page.oe->dataExchange(page.root, &node, 0), 1);
        QCOMPARE(page.control.SelectedTreeProvider(), page.root);
        QCOMPARE(page.control.List()->topLevelItemCount(), 2);
        QCOMPARE(page.Path({"Main Identity", "Messages", "Outbox"})->CheckState(), TLC_UNCHECKED);

        // Saved before any folder was listed: the partly excluded group keeps its exclusion.
        page.Load(reopened);
        page.Save(reopened);
        QCOMPARE(reopened.GetXmlString(), before);

        // The whole of Work unticked, Outbox ticked again.
        page.Path({"Work"})->ChangeCheckState(TLC_UNCHECKED);
        page.Path({"Main Identity", "Messages", "Outbox"})->ChangeCheckState(TLC_CHECKED);
        page.Save(reopened);
        QCOMPARE(Excluded(reopened, ID_B, "."), 1);
        QCOMPARE(Excluded(reopened, ID_A, ".", OE_SEARCH_ALL), 0);
        page.Load(reopened);
        page.ExpectStates(
            {{{"Work"}, TLC_UNCHECKED}, {{"Main Identity"}, TLC_CHECKED}, {{}, TLC_PARTLY}});
    }

    // An identity the job does not name is not backed up, so it shows unchecked.
    void identityMissingFromTheJobShowsUnchecked() {
        Editor editor;
        auto& [env, prompt, page, job] = editor;
        CTavJobOeHelper(job.GetBackupNode("oe"), &job).AddIdentity(ID_A);
        page.Load(job);
        page.ExpectStates({{{}, TLC_PARTLY},
                           {{"Main Identity"}, TLC_CHECKED},
                           {{"Work"}, TLC_UNCHECKED},
                           {{"Work", "Messages"}, TLC_UNCHECKED}});
        // Saving what is shown leaves Work out of the backup.
        page.Save(job);
        QCOMPARE(Excluded(job, ID_B, "."), 1);
    }

    void damagedFolderListShowsAMessage() {
        Editor editor(RandomBytes(4000, 7));
        auto& [env, prompt, page, job] = editor;
        CTlcDataProvider* work = page.Path({"Work", "Messages"});
        QVERIFY(work != nullptr);
        work->EnsureChildren();
        QVERIFY(work->Children().empty());
        QCOMPARE(prompt.messages.size(), size_t(1));
        QVERIFY(prompt.LastMessage().find("Folders.dbx") != std::string::npos);
        QCOMPARE(work->GetDetailRows().back()[0], std::string("Folder List"));
        // The control lists it too, and the save goes through.
        page.control.SelectProvider(work);
        page.Save(job);
    }

    // Parent links that loop list each folder once on the way down.
    void loopingFolderListEnds() {
        const std::vector<uint8_t> list = dbxtest::BuildFolders({{2, 1, "Inbox", "Inbox.dbx"},
                                                                 {3, 2, "Sub", "Sub.dbx"},
                                                                 {4, 3, "Deep", "Deep.dbx"},
                                                                 {3, 4, "Again", "Again.dbx"},
                                                                 {5, 5, "Self", "Self.dbx"}});
        Editor editor(std::string(list.begin(), list.end()));
        auto& [env, prompt, page, job] = editor;
        CTlcDataProvider* deep = page.Path({"Work", "Messages", "Inbox", "Sub", "Deep"});
        QVERIFY(deep != nullptr);
        QCOMPARE(Names(deep), std::vector<std::string>{});
        QCOMPARE(Names(page.Path({"Work", "Messages"})), std::vector<std::string>{"Inbox"});
        // The only folder unticked unticks those above it: the message group is left out.
        deep->ChangeCheckState(TLC_UNCHECKED);
        QCOMPARE(page.Path({"Work", "Messages"})->CheckState(), TLC_UNCHECKED);
        page.Save(job);
        QCOMPARE(Excluded(job, ID_B, ".Messages."), 1);
    }

    // The viewer over the identity's live Inbox: lists, sorts by subject and exports what
    // tavctl's "dbx export" writes.
    void viewerOnALiveStore() {
        Editor editor;
        auto& [env, prompt, page, job] = editor;
        CTlcDataProvider* inbox = page.Path({"Main Identity", "Messages", "Inbox"});
        const std::string listed = env.Root() + "/sorted.txt";
        QCOMPARE(Tavctl({"dbx", "ls", LIVE_STORE, "--sort", "subject"}, listed), 0);
        std::vector<uint32_t> expected;
        std::istringstream lines(tavtest::ReadFile(listed));
        std::string line;
        std::getline(lines, line);
        while (std::getline(lines, line))
            if (!line.empty()) expected.push_back(uint32_t(std::stoul(line)));
        QVERIFY(expected.size() > 3);

        const std::string eml = env.Root() + "/viewer.eml";
        prompt.files = {eml};
        std::vector<uint32_t> order;
        QString title;
        tavui::SetDialogRunner([&](QDialog& d) {
            d.show();
            title = d.windowTitle();
            auto& dialog = static_cast<CDbxBrowserDlg&>(d);
            emit dialog.List()->header()->sectionClicked(3);
            for (const DbxMessageRow& row : dialog.Model().Rows()) order.push_back(row.offset);
            dialog.SelectRow(1);
            d.findChild<QPushButton*>("10009")->click();
            d.reject();
            return 0;
        });
        const TavModCmdUI& view = page.oe->jobControl.commands.at(0);
        QCOMPARE(view.title, std::string("View Dbx Contents"));
        QCOMPARE(view.proc(intptr_t(inbox), 0, 0, 0), 0);
        QCOMPARE(title, QString("Inbox.dbx"));
        QCOMPARE(order, expected);
        const std::string byCli = env.Root() + "/tavctl.eml";
        QCOMPARE(Tavctl({"dbx", "export", LIVE_STORE, std::to_string(order.at(1)), byCli}), 0);
        QCOMPARE(tavtest::ReadFile(eml), tavtest::ReadFile(byCli));

        // The group is never shown; a missing store file is said, not shown.
        QCOMPARE(view.proc(intptr_t(page.Path({"Main Identity", "Messages"})), 0, 0, 0), 2);
        plat::RemoveFile(env.LocalStore("anna", ID_A) + "Inbox.dbx");
        QCOMPARE(view.proc(intptr_t(inbox), 0, 0, 0), 2);
        QVERIFY(prompt.LastMessage().find("Inbox.dbx") != std::string::npos);
    }
};

QTEST_MAIN(OeJobTreeTest)
#include "OeJobTreeTest.moc"
