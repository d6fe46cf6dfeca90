// The browser: the provider tree, the main window over real repositories, restore,
// extract, password change, the run summary, and how a run's progress reaches the window;
// Outlook Express in the browser: the stored identity, "Messages" and store files after a
// backup by tavctl, the message viewer over a stored store (sort, export, a damaged store)
// and the identity mapping dialog.
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>
#include <algorithm>
#include <numeric>
#include <thread>

#include "BaselineView.h"
#include "BrowserMainDlg.h"
#include "BrowserNodeProvider.h"
#include "BrowserSettings.h"
#include "BrowserTestRepo.h"
#include "BrowserTexts.h"
#include "EngineRun.h"
#include "ExtractItemDlg.h"
#include "RestoreDlg.h"
#include "RestoreRequest.h"
#include "SmallDialogs.h"
#include "core/OeIdentityMapping.h"
#include "modules/oe/OeTestEnv.h"
#include "support/RepBuilder.h"
#include "tavengine/TavModFactory.h"
#include "tavui/Prompt.h"
#include "tavui/TreeListCtrl.h"
#include "tavui/TypeGroups.h"
#include "ui/MapIdentityDlg.h"

using namespace browsertest;

namespace {

// A plain provider tree for the check-state rules.
class CPlain : public CTlcDataProvider {
public:
    explicit CPlain(const char* name, int kind = TLC_KIND_FOLDER) {
        SetName(name);
        SetKind(kind);
    }
    uint32_t ProviderID() const override { return 1; }
};

// The window with scripted prompts; modal dialogs are handed to `onDialog` instead of run.
struct CWindow {
    CTavModFactory hub{browsertext::HUB_COMMAND_BASE};
    tavui::CScriptedPrompt prompt;
    std::unique_ptr<CBrowserMainDlg> window;
    std::vector<std::pair<std::string, std::string>> summaries;
    std::function<int(QDialog&)> onDialog = [](QDialog&) { return int(QDialog::Rejected); };

    CWindow() {
        hub.EnableViews(true);
        hub.Reconnoiter();
        window = std::make_unique<CBrowserMainDlg>(&hub, prompt);
        window->execDialog = [this](QDialog& d) { return onDialog(d); };
        window->showSummary = [this](const std::string& c, const std::string& l) {
            summaries.push_back({c, l});
        };
    }
    CTreeListCtrl& Tree() { return *window->TreeList(); }
    // The provider at a '/'-separated path of names below the first root.
    CTlcDataProvider* At(const std::vector<std::string>& names) {
        CTlcDataProvider* p = Tree().Roots().empty() ? nullptr : Tree().Roots().front();
        for (const std::string& n : names) p = Child(p, n);
        return p;
    }
    std::map<std::string, std::vector<std::string>> Rows(CTlcDataProvider* folder) {
        std::map<std::string, std::vector<std::string>> rows;
        folder->EnsureChildren();
        for (CTlcDataProvider* child : folder->Children())
            rows[child->Name()] = folder->RenderChildRow(*child);
        return rows;
    }
};

template <typename Dialog>
Dialog* As(QDialog& d) {
    auto* dialog = dynamic_cast<Dialog*>(&d);
    if (dialog == nullptr) qFatal("unexpected dialog %s", d.metaObject()->className());
    return dialog;
}

// The restore dialog `d`, set to write below `out` instead of the original place.
CRestoreDlg* RestoreInto(QDialog& d, const QTemporaryDir& out) {
    auto* dialog = As<CRestoreDlg>(d);
    dialog->Check(1021)->setChecked(false);
    dialog->DestinationEdit()->setText(out.path());
    return dialog;
}

// Waits (in the event loop, no sleeping) until a run of the dialog has ended.
template <typename Dialog>
bool WaitForRun(Dialog* dialog) {
    return QTest::qWaitFor([dialog] { return !dialog->IsRunning(); }, 60000);
}

std::vector<std::string> TraceLines(const std::string& file) {
    std::vector<std::string> lines;
    QString text = QString::fromStdString(ReadFile(file));
    for (const QString& l : text.split('\n', Qt::SkipEmptyParts)) lines.push_back(l.toStdString());
    return lines;
}

}  // namespace

class BrowserTest : public QObject {
    Q_OBJECT
    std::unique_ptr<CTestEnvironment> m_env;
    QTemporaryDir m_dir;
    std::string m_repo, m_data;

private slots:
    void init() { m_env = std::make_unique<CTestEnvironment>(); }

    void initTestCase() {
        m_env = std::make_unique<CTestEnvironment>();
        m_repo = MakeTavctlRepo(m_dir.path().toStdString(), m_data);
        QVERIFY(QFile::exists(QString::fromStdString(m_repo)));
    }

    void checkStatesPropagateBothWays() {
        auto* root = new CPlain("root");
        auto* a = new CPlain("a");
        auto* b = new CPlain("b", TLC_KIND_FILE);
        root->AdoptChild(a);
        root->AdoptChild(b);
        a->AdoptChild(new CPlain("a1", TLC_KIND_FILE));
        a->AdoptChild(new CPlain("a2", TLC_KIND_FILE));
        root->ChangeCheckState(TLC_CHECKED);
        QCOMPARE(a->Children()[1]->CheckState(), TLC_CHECKED);
        a->Children()[0]->ChangeCheckState(TLC_UNCHECKED);
        QCOMPARE(a->CheckState(), TLC_PARTLY);
        QCOMPARE(root->CheckState(), TLC_PARTLY);
        a->Children()[1]->ChangeCheckState(TLC_UNCHECKED);
        b->ChangeCheckState(TLC_UNCHECKED);
        QCOMPARE(root->CheckState(), TLC_UNCHECKED);
        // A child listed later inherits a checked parent's state only.
        a->ChangeCheckState(TLC_CHECKED);
        a->AdoptChild(new CPlain("late", TLC_KIND_FILE));
        QCOMPARE(a->Children().back()->CheckState(), TLC_CHECKED);
        root->Dispose();
    }

    void typeGroupsMergeStatesAndIcons() {
        tavui::CTypeGroupModel model;
        model.AddRow("Text", 2, 5);
        model.AddRow("Text", 1, 5);
        model.AddRow("Image", 2, 4);
        model.AddRow("Image", 2, 6);
        QCOMPARE(model.Groups()[0].type, std::string("Image"));
        QCOMPARE(model.Groups()[0].icon, 3);
        QCOMPARE(model.Groups()[1].state, 3);
        QCOMPARE(model.StateFor("Text"), 0);  // mixed stays as the rows are
        model.SelectAll();
        model.Reset();
        QCOMPARE(model.Groups()[0].state, 2);
        model.DeselectAll();
        model.Store();
        QCOMPARE(model.StateFor("Text"), 1);
    }

    void mainWindowShowsBaselinesNewestFirstAndColumns() {
        CWindow w;
        QVERIFY(w.window->OpenRepository(m_repo));
        QCOMPARE(w.window->windowTitle(), QString::fromStdString("TvrBrowser - " + m_repo));
        QVERIFY(w.prompt.messages.empty());  // an intact repository opens without a warning
        QComboBox* baselines = w.window->BaselineCombo();
        QCOMPARE(baselines->count(), 2);
        QVERIFY(baselines->itemText(0).startsWith("Baseline 2 - "));
        QVERIFY(baselines->itemText(1).startsWith("Baseline 1 - "));
        QVERIFY(w.window->RestoreButton()->isEnabled());
        CTlcDataProvider* data = w.At({m_data});
        QVERIFY(data != nullptr);
        auto rows = w.Rows(data);
        QCOMPARE(rows["a.txt"][1], std::string("1024 Bytes"));
        QCOMPARE(rows["b.txt"][1], std::string("1.00 KB"));
        QCOMPARE(rows["c.bin"][1], std::string("1024.00 KB"));
        QCOMPARE(rows["d.bin"][1], std::string("1.00 MB"));
        QCOMPARE(rows["a.txt"][4], std::string("Updated"));
        QCOMPARE(rows["new.txt"][4], std::string("Added"));
        QCOMPARE(rows["b.txt"][4], std::string("Not Changed"));
        QCOMPARE(rows["sub"][1], std::string());
        QVERIFY(rows["c.bin"][7].find("store") == 0);

        // The list: folders first, then by the clicked column; the header shows the mark.
        w.Tree().SelectProvider(data);
        w.Tree().SortList(1);
        w.Tree().SortList(1);
        QVERIFY(w.Tree().SortDescending());
        auto shown = w.Tree().ListProviders();
        QCOMPARE(shown[0]->Kind(), TLC_KIND_FOLDER);
        QCOMPARE(shown[2]->Name(), std::string("d.bin"));
        QCOMPARE(w.Tree().List()->header()->sortIndicatorSection(), 1);

        // The older baseline: a.txt as first stored, no new.txt.
        baselines->setCurrentIndex(1);
        rows = w.Rows(w.At({m_data}));
        QCOMPARE(rows.count("new.txt"), size_t(0));
        QCOMPARE(rows["a.txt"][4], std::string("Added"));
    }

    void damagedRepositoryWarnsOnOpen() {
        QTemporaryDir dir;
        std::string data;
        const std::string repo = MakeTavctlRepo(dir.path().toStdString(), data);
        // The second run's fresh image cut inside its first block: its baseline table is gone.
        const std::string newest = dir.path().toStdString() + "/repo/store.0001.tvr";
        QVERIFY(WriteFile(newest, ReadFile(newest).substr(0, 400)));
        CWindow w;
        QVERIFY(w.window->OpenRepository(repo));
        QCOMPARE(w.prompt.messages.size(), size_t(1));
        QCOMPARE(w.prompt.messages[0].icon, tavui::PromptIcon::Warning);
        const std::string& text = w.prompt.messages[0].text;
        QVERIFY2(text.find("The newest baselines are damaged: the baseline table in " + newest +
                           " cannot be read; showing the baselines up to 1") != std::string::npos,
                 text.c_str());
        QCOMPARE(w.window->BaselineCombo()->count(), 1);
    }

    // The password is asked again after a wrong one; Cancel opens nothing; the change
    // dialog's messages; the new password opens the repository.
    void passwordLoopCancelAndChange() {
        QTemporaryDir dir;
        const std::string repo = MakeLibraryRepo(dir.path().toStdString(), "old");
        CWindow cancelled;
        cancelled.prompt.passwords = {std::nullopt};
        QVERIFY(!cancelled.window->OpenRepository(repo));
        QCOMPARE(cancelled.window->windowTitle(), QString("TvrBrowser"));
        QVERIFY(!cancelled.window->Document().IsOpen());
        QVERIFY(!cancelled.window->RestoreButton()->isEnabled());

        CWindow w;
        w.prompt.passwords = {std::string("wrong"), std::string("old")};
        QVERIFY(w.window->OpenRepository(repo));
        QCOMPARE(w.prompt.passwordQuestions, 2);
        QCOMPARE(w.prompt.LastMessage(), std::string("Access denied. Invalid password."));
        QCOMPARE(w.window->BaselineCombo()->count(), 1);
        w.prompt.messages.clear();
        std::vector<std::array<const char*, 3>> attempts = {
            {"bad", "n", "n"}, {"old", "n", "m"}, {"old", "new", "new"}};
        w.onDialog = [&](QDialog& d) {
            auto* dialog = As<CChangePwdDlg>(d);
            for (const auto& a : attempts) {
                dialog->OldField()->setText(a[0]);
                dialog->NewField()->setText(a[1]);
                dialog->ConfirmField()->setText(a[2]);
                dialog->accept();
            }
            return dialog->result();
        };
        w.window->OnChangePassword();
        QCOMPARE(w.prompt.messages.size(), size_t(3));
        QCOMPARE(w.prompt.messages[0].text, std::string("Invalid password."));
        QCOMPARE(w.prompt.messages[1].text, std::string("The password don't match."));
        QCOMPARE(w.prompt.messages[2].text, std::string("The password has been changed."));
        QCOMPARE(w.prompt.messages[2].icon, tavui::PromptIcon::Information);

        CWindow again;
        again.prompt.passwords = {std::string("old"), std::string("new")};
        QVERIFY(again.window->OpenRepository(repo));
        QCOMPARE(again.prompt.passwordQuestions, 2);
    }

    void openDialogLoopAndCommandLine() {
        CWindow w;
        w.prompt.files = {std::string(m_data + "/a.txt"), m_repo};
        w.window->HandleCommandLine({"/nothere.tvr", "/opendlg"});
        QCOMPARE(w.prompt.fileDialogs.size(), size_t(2));
        QCOMPARE(w.prompt.messages.at(0).text, std::string("Invalid TVR files."));
        QVERIFY(w.window->Document().IsOpen());

        CWindow r;
        bool restoreShown = false;
        r.onDialog = [&](QDialog& d) {
            restoreShown = dynamic_cast<CRestoreDlg*>(&d) != nullptr;
            return 0;
        };
        r.window->HandleCommandLine({QString::fromStdString(m_repo), "/RestoreDlg"});
        QVERIFY(restoreShown);
    }

    void restoreSelectedItemsMatchesTavctl() {
        CWindow w;
        QVERIFY(w.window->OpenRepository(m_repo));
        CTlcDataProvider* root = w.Tree().Roots().front();
        root->ChangeCheckState(TLC_CHECKED);
        CTlcDataProvider* sub = w.At({m_data, "sub"});
        QVERIFY(sub != nullptr);
        sub->ChangeCheckState(TLC_UNCHECKED);
        QCOMPARE(root->CheckState(), TLC_PARTLY);

        QTemporaryDir out;
        std::string request;
        QString logShown;  // the log box's last text before the idle view clears it
        w.prompt.answers = {tavui::ID_OK};  // "Start restore now?"
        w.onDialog = [&](QDialog& d) {
            auto* dialog = RestoreInto(d, out);
            QObject::connect(dialog->LogEdit(), &QPlainTextEdit::textChanged, [&, dialog] {
                if (!dialog->LogEdit()->toPlainText().isEmpty())
                    logShown = dialog->LogEdit()->toPlainText();
            });
            dialog->SelectedRadio()->setChecked(true);
            request = dialog->BuildRequest();
            dialog->OnRestore();
            WaitForRun(dialog);
            return int(QDialog::Accepted);
        };
        w.window->OnRestore();
        QCOMPARE(w.prompt.messages.at(0).text, std::string("Start restore now?"));
        QCOMPARE(w.summaries.size(), size_t(1));
        QCOMPARE(w.summaries[0].first, std::string("Restoration Summary"));
        // The log box grew line by line into the whole run log.
        QCOMPARE(logShown, QString::fromStdString(w.summaries[0].second).remove(QChar('\r')));

        // Restored byte for byte, without the unchecked folder.
        auto expected = ReadTree(m_data);
        expected.erase("sub/deep.txt");
        QCOMPARE(ReadTree(out.path().toStdString() + m_data), expected);

        // tavctl builds the same request for the same selection.
        CTavRepository rep;
        const TavImageSecurity security = tavtest::Security(nullptr, ENCRYPT_BUILTIN);
        QCOMPARE(rep.Attach(m_repo, &security), 1);
        tavctl::CBaselineView view(rep.LoadBaseline(2), 2);
        tavctl::CRestoreSelection selection(view);
        selection.Leave(ProviderNode(sub)->nodeId);
        selection.Resolve();
        RestoreOptions options;
        browsersettings::Load(options);
        QCOMPARE(request, tavctl::BuildRestoreRequest(2, browsersettings::RestoreCommand(options),
                                                      out.path().toStdString(),
                                                      selection.ExcludedIds(), {}));

        // The dialog's values are in the settings afterwards.
        const std::string reg = ReadFile(m_env->MachineReg());
        QVERIFY(reg.find("[HKEY_LOCAL_MACHINE\\Software\\Norvik\\Tavora\\Browser]") !=
                std::string::npos);
        QVERIFY(reg.find("\"OriginalDir\"=dword:00000000") != std::string::npos);
        QVERIFY(reg.find("\"Destination\"=") != std::string::npos);
        // The dialog handed the repository back to the main window when it closed.
        QVERIFY(w.window->Document().Repository().SetRepErrorCallback(nullptr) != nullptr);
    }

    void cancelAtStartStillPostProcessesAndStopSuppressesSummary() {
        QTemporaryDir dir;
        const std::string repo = MakeLibraryRepo(dir.path().toStdString(), nullptr, true);
        const std::string trace = dir.path().toStdString() + "/trace";
        qputenv("TAV_FAKE_TRACE", trace.c_str());
        CWindow w;
        QVERIFY(w.window->OpenRepository(repo));
        // Into a folder of this test: neither the original place ("/big") nor a destination
        // an earlier test left in the settings.
        QTemporaryDir out;
        w.prompt.answers = {tavui::ID_CANCEL};
        w.onDialog = [&](QDialog& d) {
            RestoreInto(d, out)->OnRestore();
            return 0;
        };
        w.window->OnRestore();
        QCOMPARE(TraceLines(trace), (std::vector<std::string>{"pre", "post", "dispose"}));
        QVERIFY(w.summaries.empty());

        // A run stopped with "Stop" ends without a summary; the engine is released.
        QFile::remove(QString::fromStdString(trace));
        qputenv("TAV_FAKE_ENDLESS", "1");
        w.prompt.answers = {tavui::ID_OK, tavui::ID_YES};
        w.onDialog = [&](QDialog& d) {
            auto* dialog = RestoreInto(d, out);
            dialog->OnRestore();
            // Stop once the engine itself reports: a stop before its Restore starts skips it.
            QSignalSpy progress(dialog->Run(), &CEngineRun::progress);
            const auto engineReported = [&] {
                return std::any_of(progress.cbegin(), progress.cend(),
                                   [](const QList<QVariant>& args) {
                                       return args.at(0).toString().startsWith("Restoring");
                                   });
            };
            QDeadlineTimer deadline(10000);
            while (!engineReported() && !deadline.hasExpired()) progress.wait(100);
            if (!engineReported()) qWarning("the engine reported no progress");
            dialog->OnRestore();  // "Stop" → "Do you want to stop restoring?" → Yes
            WaitForRun(dialog);
            return 0;
        };
        w.window->OnRestore();
        qunsetenv("TAV_FAKE_ENDLESS");
        QCOMPARE(w.prompt.messages[2].text, std::string("Do you want to stop restoring?"));
        QCOMPARE(w.prompt.messages[2].defaultButton, tavui::ID_NO);
        QVERIFY(w.summaries.empty());
        const auto lines = TraceLines(trace);
        QCOMPARE(QString::fromStdString(std::accumulate(
                     lines.begin(), lines.end(), std::string(),
                     [](std::string a, const std::string& b) { return a + b + " "; })),
                 QString("pre restore post dispose "));
        qunsetenv("TAV_FAKE_TRACE");
    }

    // A 5 GiB file shows its true size; a root whose module is missing is reported, the
    // other roots restore.
    void bigFileAndRootWithoutModule() {
        QTemporaryDir dir;
        const std::string repo = MakeLibraryRepo(dir.path().toStdString(), nullptr, true);
        qputenv("TAVORA_MODULE_PATH", TAV_MODULES_DIR);  // the test module is missing
        CWindow w;
        QVERIFY(w.window->OpenRepository(repo));
        CTlcDataProvider* big = w.At({"/big"});
        QVERIFY(big != nullptr);
        QCOMPARE(w.Rows(big)["huge.bin"][1], std::string("5.00 GB"));
        QCOMPARE(CExtractItemDlg::InfoRows(*ProviderNode(Child(big, "huge.bin")))[2].second,
                 std::string("5,368,709,120 Bytes"));
        QTemporaryDir out;
        w.prompt.answers = {tavui::ID_OK};
        w.onDialog = [&](QDialog& d) {
            auto* dialog = RestoreInto(d, out);
            dialog->EntireRadio()->setChecked(true);
            dialog->OnRestore();
            WaitForRun(dialog);
            return 0;
        };
        w.window->OnRestore();
        m_env = std::make_unique<CTestEnvironment>();
        QCOMPARE(w.summaries.size(), size_t(1));
        QVERIFY(
            w.summaries[0].second.find(
                "***** \"Stop Root\" cannot be restored: its module (strt) is not installed.") !=
            std::string::npos);
        QCOMPARE(ReadFile(out.path().toStdString() + "/big/small.txt"), std::string("small\n"));
    }

    void extractFileAndFolder() {
        CWindow w;
        QVERIFY(w.window->OpenRepository(m_repo));
        CTlcDataProvider* data = w.At({m_data});
        auto extract = [&](CTlcDataProvider* item, bool recursive) {
            QTemporaryDir out;
            w.Tree().SelectProvider(item->Kind() == TLC_KIND_FOLDER ? item : item->Parent());
            if (item->Kind() != TLC_KIND_FOLDER) {
                w.Tree().SetLastFocusPane(CTreeListCtrl::Pane::List);
                for (int i = 0; i < w.Tree().List()->topLevelItemCount(); ++i)
                    if (CTreeListCtrl::ProviderOf(w.Tree().List()->topLevelItem(i)) == item)
                        w.Tree().List()->setCurrentItem(w.Tree().List()->topLevelItem(i));
            } else {
                w.Tree().SetLastFocusPane(CTreeListCtrl::Pane::Tree);
            }
            std::string request;
            w.onDialog = [&](QDialog& d) {
                auto* dialog = As<CExtractItemDlg>(d);
                dialog->Check(1014)->setChecked(recursive);
                dialog->DestinationEdit()->setText(out.path());
                request = dialog->BuildRequest();
                dialog->OnExtract();
                WaitForRun(dialog);
                return 0;
            };
            w.window->OnExtract();
            auto tree = ReadTree(out.path().toStdString());
            return std::make_pair(tree, request);
        };
        auto [file, fileRequest] = extract(Child(data, "b.txt"), true);
        QCOMPARE(file.size(), size_t(1));
        QCOMPARE(file.begin()->second, std::string(1025, 'b'));
        QVERIFY(fileRequest.find("<node id=") != std::string::npos);

        auto [deep, deepRequest] = extract(data, true);
        QCOMPARE(deep.size(), ReadTree(m_data).size());
        auto [flat, flatRequest] = extract(data, false);
        for (const auto& [path, bytes] : flat)
            QVERIFY2(path.find("sub/") == std::string::npos, path.c_str());
        QVERIFY(flat.size() < deep.size());
    }

    void saveLogWritesExactBytes() {
        QTemporaryDir dir;
        const std::string log = "line one\r\nline two\r\n" + CEngineRun::Separator() + "\xc3\xa9nd";
        tavui::CScriptedPrompt prompt;
        const std::string file = dir.path().toStdString() + "/run.log";
        prompt.files = {file, dir.path().toStdString() + "/missing/folder/run.log"};
        CResultSummaryDlg summary("Restoration Summary", log, prompt);
        summary.OnSaveLog();
        QCOMPARE(ReadFile(file), log);
        QCOMPARE(prompt.fileDialogs[0].defaultExtension, std::string("log"));
        summary.OnSaveLog();
        QVERIFY(prompt.LastMessage().find("missing/folder/run.log") != std::string::npos);
    }

    // A restore's progress reaches the window once per turn of its event loop, with the
    // newest report: a window slower than the engine never gathers a queue of reports that
    // a click ("Stop") would have to wait behind.
    void progressReportsWaitInOneSlot() {
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

    void storedIdentityAndViewer() {
        oetest::COeProgramEnv env;
        qputenv("TAVORA_MODULE_PATH", TAV_MODULES_DIR);
        env.Layout();
        const std::string inbox =
            std::string(TAV_TESTDATA_DIR) + "/dbx/DbxOutlookExpress/Inbox.dbx";
        QVERIFY(WriteFile(env.StoreA() + "Inbox.dbx", ReadFile(inbox)));
        for (const auto& args : env.BackupOfA()) {
            std::string out;
            QVERIFY2(Tavctl(args, &out) == 0, out.c_str());
        }

        CWindow w;
        tavui::CScriptedPrompt& prompt = w.prompt;
        tavui::SetSharedPrompt(&prompt);
        QVERIFY(w.window->OpenRepository(env.Repo()));
        CTreeListCtrl& tree = w.Tree();
        CTlcDataProvider* root = nullptr;
        for (CTlcDataProvider* r : tree.Roots())
            if (r->Name() == "Outlook Express") root = r;
        QVERIFY(root != nullptr);
        CTlcDataProvider* messages = Child(Child(root, "Main Identity"), "Messages");
        CTlcDataProvider* inboxItem = Child(messages, "Inbox");
        QVERIFY(inboxItem != nullptr);
        QVERIFY(Child(inboxItem, "Projects") != nullptr);
        QVERIFY(Child(messages, "Outbox") != nullptr);

        // The module's button appears with the Outlook Express root.
        tree.SelectProvider(inboxItem);
        QCOMPARE(w.window->ModuleButtons().size(), size_t(1));
        QCOMPARE(w.window->ModuleButtons()[0]->text(), QString("View Dbx Contents"));
        const uint32_t viewId = w.hub.GetModDesc("oe")->repControl.commands.at(0).commandId;

        // The viewer lists the stored store's messages and exports as tavctl does.
        const std::string eml = env.Root() + "/viewer.eml";
        prompt.files = {eml};
        int rows = -1;
        tavui::SetDialogRunner([&](QDialog& d) {
            d.show();
            rows = d.findChild<QTreeWidget*>("10004")->topLevelItemCount();
            d.findChild<QPushButton*>("10009")->click();
            d.reject();
            return 0;
        });
        w.window->OnModuleCommand(viewId);
        QCOMPARE(rows, 1);
        const std::string expected = env.Root() + "/tavctl.eml";
        QCOMPARE(Tavctl({"dbx", "export", inbox, "11792", expected}), 0);
        QCOMPARE(ReadFile(eml), ReadFile(expected));

        // A damaged stored store (random bytes) ends the search without a crash.
        tree.SelectProvider(Child(messages, "Outbox"));
        rows = -1;
        tavui::SetDialogRunner([&](QDialog& d) {
            d.show();
            rows = d.findChild<QTreeWidget*>("10004")->topLevelItemCount();
            d.reject();
            return 0;
        });
        w.window->OnModuleCommand(viewId);
        QVERIFY(rows == 0 || rows == -1);
        tavui::SetDialogRunner(nullptr);
        tavui::SetSharedPrompt(nullptr);
    }

    void mappingDialogWarnsAboutUnassignedRows() {
        COeIdentityMapping mapping({{"{A}", "Anna"}, {"{B}", "Bob"}}, {{"{A}", "Anna"}}, {});
        tavui::CScriptedPrompt prompt;
        CMapIdentityDlg dialog(mapping, prompt);
        QCOMPARE(dialog.List()->topLevelItemCount(), 2);
        dialog.accept();
        QCOMPARE(prompt.LastMessage(),
                 std::string("You must specify all target identities to restore to."));
        QCOMPARE(dialog.result(), 0);
        // Giving Bob the only target takes it from Anna: still incomplete.
        mapping.SelectRow(1);
        dialog.Targets()->setCurrentIndex(0);
        emit dialog.Targets()->activated(0);
        QCOMPARE(dialog.List()->topLevelItem(0)->text(1), QString());
        dialog.accept();
        QCOMPARE(prompt.messages.size(), size_t(2));
    }
};

QTEST_MAIN(BrowserTest)
#include "BrowserTest.moc"
