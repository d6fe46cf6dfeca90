// The Files and Folders job view over a temporary tree: check states shown from a job, the
// list's order, command availability, storing states back (compared with what tavctl writes
// for the same intent), and the filter dialogs. Drops are the FILES page's test.
#include <QCheckBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <fstream>
#include <set>

#include "FilesCommands.h"
#include "FilesJobProviders.h"
#include "FilesSelectionSave.h"
#include "FilterDialogs.h"
#include "core/TavJobFilesHelper.h"
#include "tavengine/TavJobHelper.h"
#include "tavui/Prompt.h"
#include "tavui/TreeListCtrl.h"

namespace {

using Entries = std::set<std::pair<std::string, std::string>>;

// The selection entries of a job file as (kind, path).
Entries EntriesOf(const std::string& jobPath) {
    CTavJobHelper job;
    if (!job.Load(jobPath)) qFatal("cannot load %s", jobPath.c_str());
    Entries out;
    for (XMLNode e = job.GetBackupNode("files").GetFirstChild(); e; e = e.GetNextSibling())
        out.insert({e.GetName(), e.GetAttribute("fullpath")});
    return out;
}

CTlcDataProvider* Child(CTlcDataProvider* parent, const std::string& name) {
    for (CTlcDataProvider* c : parent->Children())
        if (c->Name() == name) return c;
    qFatal("no item %s", name.c_str());
}

}  // namespace

class FilesJobViewTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::string m_data;
    tavui::CScriptedPrompt m_prompt;
    std::unique_ptr<CTavJobHelper> m_job;
    std::unique_ptr<CTreeListCtrl> m_control;
    CTavFilesRoot* m_root = nullptr;

    std::string P(const std::string& rel) const { return m_data + "/" + rel; }
    void Write(const std::string& rel, size_t size) {
        QDir().mkpath(QString::fromStdString(P(rel)).section('/', 0, -2));
        std::ofstream(P(rel), std::ios::binary) << std::string(size, 'x');
    }
    // A job over the tree with these sources and entries, shown in a tree-list control.
    void Show(const std::vector<std::string>& sources, const Entries& entries = {}, uint32_t newFileMode = 0x10) {
        m_control = std::make_unique<CTreeListCtrl>();
        m_job = std::make_unique<CTavJobHelper>();
        m_job->SetImageDesc("img", "2.00 GB", 15, m_dir.path().toStdString() + "/images");
        m_job->SetBackupCommand((m_job->GetBackupCommand() & ~0x30u) | newFileMode);
        XMLNode node = m_job->AddBackupNode("Files and Folders", "files");
        CTavJobFilesHelper selection(node, m_job.get());
        for (const std::string& s : sources) selection.AddFile(s);
        for (const auto& [kind, path] : entries) {
            if (kind == "excluded") selection.AddExclude(path);
            if (kind == "partial") selection.AddPartial(path);
        }
        Open(node);
    }
    void Open(XMLNode node) {
        m_root = new CTavFilesRoot(m_control.get(), node, m_job.get());
        m_control->InsertRoot(m_root);
        QCOMPARE(filescmd::DataExchange(m_root, &node, 0), 1);
        m_control->SelectProvider(m_root);
    }
    CTlcDataProvider* Listed(const std::string& path) {
        CTlcDataProvider* item = m_root;
        for (const QString& part : QString::fromStdString(path).split('|')) {
            m_control->ListChildren(item);
            item = Child(item, part.toStdString());
        }
        m_control->ListChildren(item);
        return item;
    }
    int State(const std::string& path) { return Listed(path)->CheckState(); }
    QStringList Tavctl(const QStringList& args) {
        QProcess p;
        p.start(TAVCTL_PATH, args);
        if (!p.waitForFinished(60000)) qFatal("tavctl did not finish");
        if (p.exitCode() != 0) qWarning("%s", p.readAllStandardError().constData());
        return QString::fromUtf8(p.readAllStandardOutput()).split('\n');
    }

private slots:
    void initTestCase() {
        qputenv("TAVORA_HOME", m_dir.path().toUtf8());
        m_data = m_dir.path().toStdString() + "/data";
        Write("docs/a.txt", 10);
        Write("docs/b.txt", 2000);
        Write("docs/c.doc", 5);
        Write("docs/sub/x.txt", 1);
        Write("big.bin", 3000);
        Write("docs-old/x.txt", 1);
        tavui::SetSharedPrompt(&m_prompt);
    }
    void cleanup() {
        tavui::SetDialogRunner(nullptr);
        m_control.reset();
        m_prompt = tavui::CScriptedPrompt();
    }
    void cleanupTestCase() { tavui::SetSharedPrompt(nullptr); }

    void mixedFolderFollowsTheNewFileModeAndASourceLooksBelowItsPathOnly() {
        // c.doc is neither excluded nor kept: new under "Always add new files", else left out.
        for (const auto& [mode, expected] : {std::pair{0x10u, TLC_CHECKED}, std::pair{0x30u, TLC_UNCHECKED}}) {
            Show({P("docs")}, {{"excluded", P("docs/b.txt")}, {"partial", P("docs/a.txt")}}, mode);
            QCOMPARE(m_root->CheckState(), TLC_PARTLY);
            QCOMPARE(State(P("docs")), TLC_PARTLY);
            QCOMPARE(State(P("docs") + "|a.txt"), TLC_CHECKED);
            QCOMPARE(State(P("docs") + "|b.txt"), TLC_UNCHECKED);
            QCOMPARE(State(P("docs") + "|c.doc"), expected);
            QCOMPARE(State(P("docs") + "|sub"), TLC_CHECKED);
        }
        // "docs-old/x.txt" begins with the text "docs" but lies outside the folder docs.
        Show({P("docs"), P("docs-old")}, {{"excluded", P("docs-old/x.txt")}});
        QCOMPARE(State(P("docs")), TLC_CHECKED);
        QCOMPARE(State(P("docs-old")), TLC_PARTLY);
    }

    void listColumnsSizeOrderAndCommandAvailability() {
        Show({P("docs"), P("big.bin")});
        CTlcDataProvider* docs = Listed(P("docs"));
        CTlcDataProvider* sub = Listed(P("docs") + "|sub");
        CTlcDataProvider* file = Listed(P("big.bin"));
        QVERIFY(file->TreeItem() != nullptr);  // a file source is a tree item of its own
        // The list's columns, ordered by size.
        QStringList order;
        for (CTlcDataProvider* row : docs->SortedChildren(1, false)) order << QString::fromStdString(row->Name());
        QCOMPARE(order, QStringList({"sub", "c.doc", "a.txt", "b.txt"}));
        const auto row = docs->RenderChildRow(*Child(docs, "b.txt"));
        QCOMPARE(row.size(), size_t(4));
        QCOMPARE(row[1], std::string("1.95 KB"));
        QVERIFY(docs->RenderChildRow(*Child(docs, "sub"))[1].empty());
        const std::tuple<const char*, CTlcDataProvider*, int> rules[] = {
            {"OnRemoveItem", sub, 0},    {"onremoveitem", docs, 1},   {"OnRemoveItem", file, 1},
            {"OnRemoveItem", m_root, 0}, {"OnFileFiltering", m_root, 0}, {"OnSelection", sub, 1},
            {"OnAddFile", sub, 1},       {"OnViewDbxContents", sub, 0}, {"OnAddFile", nullptr, 0}};
        for (const auto& [command, item, enabled] : rules)
            QCOMPARE(filescmd::UpdateCmdUI(command, m_root, item), enabled);
        // Commands on nothing of this module are not handled.
        QCOMPARE(filescmd::OnRemoveItem(nullptr), FILES_CMD_NOT_HANDLED);
        QCOMPARE(filescmd::OnRemoveItem(sub), FILES_CMD_NOT_HANDLED);
        QCOMPARE(filescmd::DataExchange(sub, nullptr, 1), 0);
        // Removing a source drops its exclusions and selects the next source.
        m_root->Selection().AddExclude(P("docs/sub"));
        m_root->Selection().Sort();
        m_control->SelectProvider(docs);
        QCOMPARE(filescmd::OnRemoveItem(docs), FILES_CMD_DONE);
        QCOMPARE(m_root->Selection().GetFileCount(), 1);
        QCOMPARE(m_root->Selection().GetExcludeCount(), 0);
        QCOMPARE(m_control->SelectedTreeProvider(), file);
    }

    void storedStatesMatchTavctlAndTheBackup() {
        // The user's intent: leave out docs/sub and docs/b.txt.
        Show({P("docs"), P("big.bin")});
        auto* subItem = static_cast<QTreeWidgetItem*>(Listed(P("docs") + "|sub")->TreeItem());
        subItem->setCheckState(0, Qt::Unchecked);  // as a click in the tree
        m_control->SelectProvider(Listed(P("docs")));
        Listed(P("docs") + "|b.txt")->ChangeCheckState(TLC_UNCHECKED);
        QCOMPARE(State(P("docs")), TLC_PARTLY);
        QCOMPARE(filescmd::DataExchange(m_root, nullptr, 1), 1);
        const std::string edited = m_dir.path().toStdString() + "/edited.tvj";
        QVERIFY(m_job->Save(edited));

        // The same intent with tavctl.
        const std::string byCli = m_dir.path().toStdString() + "/cli.tvj";
        const QString cli = QString::fromStdString(byCli);
        Tavctl({"job", "new", cli, "--location", m_dir.path() + "/images", "--name", "img", "--force"});
        Tavctl({"job", "add", cli, QString::fromStdString(P("docs")), QString::fromStdString(P("big.bin"))});
        Tavctl({"job", "exclude", cli, QString::fromStdString(P("docs/sub")), QString::fromStdString(P("docs/b.txt"))});
        Tavctl({"job", "partial", cli, QString::fromStdString(P("docs/a.txt")), QString::fromStdString(P("docs/c.doc"))});
        QCOMPARE(EntriesOf(edited), EntriesOf(byCli));

        // Opened again, the excluded folder and the file source show as stored (the states of
        // excluded and partial files are the first test's).
        m_control = std::make_unique<CTreeListCtrl>();
        m_job = std::make_unique<CTavJobHelper>();
        QVERIFY(m_job->Load(edited));
        Open(m_job->GetBackupNode("files"));
        QCOMPARE(m_root->CheckState(), TLC_PARTLY);
        QCOMPARE(State(P("docs") + "|sub"), TLC_UNCHECKED);
        QCOMPARE(State(P("big.bin")), TLC_CHECKED);
    }

    // A cleared root is stored as one exclusion and shown cleared when opened again.
    void clearedRootStoresOneExclusionAndCleanUpKeepsEntriesUnderAMissingSource() {
        Show({P("docs"), P("big.bin")}, {{"excluded", P("docs/b.txt")}});
        m_root->ChangeCheckState(TLC_UNCHECKED);
        QCOMPARE(filescmd::DataExchange(m_root, nullptr, 1), 1);
        QCOMPARE(m_root->Selection().GetExcludeCount(), 1);
        QCOMPARE(*m_root->Selection().GetExclude(0), std::string(":root:"));
        QCOMPARE(m_root->Selection().GetFileCount(), 2);
        Show({P("docs"), P("big.bin")}, {{"excluded", ":root:"}});
        QCOMPARE(m_root->CheckState(), TLC_UNCHECKED);
        for (const std::string& item : {P("docs"), P("big.bin"), P("docs") + "|sub"})
            QCOMPARE(State(item), TLC_UNCHECKED);

        // Storing drops a deleted file's exclusion but keeps one on a disk that is not mounted.
        const std::string offline = "/nonexistent-disk/photos";
        Show({P("docs"), offline}, {{"excluded", P("docs/gone.txt")}, {"excluded", offline + "/raw"},
                                    {"partial", offline + "/raw/keep.jpg"}});
        m_root->Selection().AddFilter(P("docs/gone.txt"), 0, "*.txt", "");
        m_root->Selection().Sort();
        const TavStoreStatesResult result = StoreCheckStates(*m_root);
        QCOMPARE(result.removedMissing, std::vector<std::string>{P("docs/gone.txt")});
        CTavJobFilesHelper& s = m_root->Selection();
        QVERIFY(s.SearchInExcludes(P("docs/gone.txt")).IsEmpty());
        QVERIFY(s.SearchInFilters(P("docs/gone.txt")).IsEmpty());
        QVERIFY(!s.SearchInExcludes(offline + "/raw").IsEmpty());
        QVERIFY(!s.SearchInPartial(offline + "/raw/keep.jpg").IsEmpty());
        QCOMPARE(State(offline), TLC_PARTLY);
    }

    void filterDialogsAddChangeAndRemove() {
        Show({P("docs")});
        CTavJobFilesHelper& s = m_root->Selection();
        {
            CFileFilteringDlg dialog(s, P("docs"), m_prompt);
            QVERIFY(dialog.Recursive()->isChecked());
            dialog.Included()->setText("*.txt");
            dialog.accept();
            QVERIFY(dialog.Changed());
        }
        QCOMPARE(s.GetFilterDesc(P("docs"), "included").value_or(""), std::string("*.txt"));
        QCOMPARE(s.GetFilterDesc(P("docs"), "recursive").value_or(""), std::string("yes"));
        {
            CFileFilteringDlg dialog(s, P("docs"), m_prompt);
            QCOMPARE(dialog.Included()->text(), QString("*.txt"));
            dialog.Included()->clear();
            dialog.Excluded()->setText("*.doc");
            dialog.Recursive()->setChecked(false);
            dialog.accept();
        }
        QCOMPARE(s.GetFilterDesc(P("docs"), "excluded").value_or(""), std::string("*.doc"));
        QCOMPARE(s.GetFilterDesc(P("docs"), "recursive").value_or(""), std::string("no"));
        {
            CFileFilteringDlg dialog(s, P("docs"), m_prompt);
            dialog.Excluded()->clear();
            dialog.accept();
        }
        QVERIFY(!s.GetFilterDesc(P("docs"), "included"));

        s.AddFilter(P("docs"), 1, "*.a", "");
        s.AddFilter(P("docs/sub"), 0, "", "*.b");
        s.Sort();
        CAllFiltersDlg all(s, m_prompt);
        QCOMPARE(all.List()->topLevelItemCount(), 2);
        QCOMPARE(all.List()->topLevelItem(1)->text(3), QString("no"));
        all.List()->topLevelItem(0)->setSelected(true);
        m_prompt.answers = {tavui::ID_YES};
        all.OnRemove();
        QCOMPARE(m_prompt.LastMessage(), "Do you want to remove the filtering rules for \"" + P("docs") + "\"?");
        QCOMPARE(m_prompt.messages.back().defaultButton, tavui::ID_NO);
        QCOMPARE(s.GetFilterCount(), 1);
        all.OnClearAll();  // answered with the default, No
        QCOMPARE(s.GetFilterCount(), 1);
        m_prompt.answers = {tavui::ID_YES};
        all.OnClearAll();
        QCOMPARE(m_prompt.LastMessage(), std::string("Do you want to remove all the filtering rules?"));
        QCOMPARE(s.GetFilterCount(), 0);
        QCOMPARE(all.List()->topLevelItemCount(), 0);
        QVERIFY(all.Removed());
        QVERIFY(!all.ClearAllButton()->isEnabled());
    }

    void selectFileTypeLeavesMixedTypesAlone() {
        Show({P("docs")});
        CTlcDataProvider* docs = Listed(P("docs"));
        Child(docs, "b.txt")->ChangeCheckState(TLC_UNCHECKED);
        tavui::SetDialogRunner([](QDialog& dialog) {
            auto* select = qobject_cast<CSelectFilterDlg*>(&dialog);
            if (select == nullptr) return int(QDialog::Rejected);
            // Text files are mixed and stay so; the Word type is cleared.
            for (int i = 0; i < select->List()->topLevelItemCount(); ++i) {
                QTreeWidgetItem* item = select->List()->topLevelItem(i);
                if (item->checkState(0) == Qt::Checked && item->text(0) != "File Folder") item->setCheckState(0, Qt::Unchecked);
            }
            select->accept();
            return int(QDialog::Accepted);
        });
        QCOMPARE(filescmd::OnSelection(docs, nullptr), FILES_CMD_DONE);
        QCOMPARE(Child(docs, "c.doc")->CheckState(), TLC_UNCHECKED);
        QCOMPARE(Child(docs, "a.txt")->CheckState(), TLC_CHECKED);
        QCOMPARE(Child(docs, "b.txt")->CheckState(), TLC_UNCHECKED);
        QCOMPARE(Child(docs, "sub")->CheckState(), TLC_CHECKED);
    }
};

QTEST_MAIN(FilesJobViewTest)
#include "FilesJobViewTest.moc"
