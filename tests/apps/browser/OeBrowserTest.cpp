// Outlook Express in the browser: the stored identity, "Messages" and store files after a
// backup by tavctl, the message viewer over a stored store (sort, export, a damaged store)
// and the identity mapping dialog.
#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include "BrowserMainDlg.h"
#include "BrowserTestRepo.h"
#include "BrowserTexts.h"
#include "core/OeIdentityMapping.h"
#include "modules/oe/OeTestEnv.h"
#include "tavengine/TavModFactory.h"
#include "tavui/Prompt.h"
#include "tavui/TreeListCtrl.h"
#include "ui/MapIdentityDlg.h"

using namespace browsertest;

namespace {
constexpr const char* ID_A = "{5C1D0A3E-1111-4A4A-9A9A-00000000000A}";
}

class OeBrowserTest : public QObject {
    Q_OBJECT

private slots:
    void storedIdentityAndViewer() {
        oetest::COeTestEnv env;
        oetest::CEnvOverride tmp("TMPDIR", env.Root() + "/tmp");
        plat::CreateDirectories(env.Root() + "/tmp");
        plat::CreateDirectories(env.Root() + "/repo");
        qputenv("TAVORA_MODULE_PATH", TAV_MODULES_DIR);
        const std::string store = env.LocalStore("anna", ID_A);
        env.WriteUserReg({{ID_A, "Main Identity", oetest::COeTestEnv::RegString(oetest::COeTestEnv::WindowsStore("anna", ID_A))}});
        env.WriteStore(store, oetest::StandardFolders(), {{"Outbox.dbx", 100}, {"Projects.dbx", 5000}});
        const std::string inbox = std::string(TAV_TESTDATA_DIR) + "/dbx/DbxOutlookExpress/Inbox.dbx";
        QVERIFY(WriteFile(store + "Inbox.dbx", ReadFile(inbox)));
        const std::string job = env.Root() + "/mail.tvj";
        QCOMPARE(Tavctl({"job", "new", job, "-l", env.Root() + "/repo", "-n", "mail"}), 0);
        QCOMPARE(Tavctl({"job", "oe", job, "add", ID_A}), 0);
        std::string out;
        QVERIFY2(Tavctl({"backup", job}, &out) == 0, out.c_str());

        CTavModFactory hub(browsertext::HUB_COMMAND_BASE);
        hub.EnableViews(true);
        hub.Reconnoiter();
        tavui::CScriptedPrompt prompt;
        tavui::SetSharedPrompt(&prompt);
        CBrowserMainDlg window(&hub, prompt);
        QVERIFY(window.OpenRepository(env.Root() + "/repo/mail.tvr"));
        CTreeListCtrl& tree = *window.TreeList();
        CTlcDataProvider* root = nullptr;
        for (CTlcDataProvider* r : tree.Roots())
            if (r->Name() == "Outlook Express") root = r;
        QVERIFY(root != nullptr);
        CTlcDataProvider* identity = Child(root, "Main Identity");
        QVERIFY(identity != nullptr);
        CTlcDataProvider* messages = Child(identity, "Messages");
        QVERIFY(messages != nullptr);
        CTlcDataProvider* inboxItem = Child(messages, "Inbox");
        QVERIFY(inboxItem != nullptr);
        QVERIFY(Child(inboxItem, "Projects") != nullptr);
        QVERIFY(Child(messages, "Outbox") != nullptr);

        // The module's button appears with the Outlook Express root.
        tree.SelectProvider(inboxItem);
        QCOMPARE(window.ModuleButtons().size(), size_t(1));
        QCOMPARE(window.ModuleButtons()[0]->text(), QString("View Dbx Contents"));
        const uint32_t viewId = hub.GetModDesc("oe")->repControl.commands.at(0).commandId;

        // The viewer lists the stored store's messages, sorts, and exports as tavctl does.
        const std::string eml = env.Root() + "/viewer.eml";
        prompt.files = {eml};
        int rows = -1;
        tavui::SetDialogRunner([&](QDialog& d) {
            d.show();
            auto* list = d.findChild<QTreeWidget*>("10004");
            rows = list->topLevelItemCount();
            emit list->header()->sectionClicked(3);
            if (list->header()->sortIndicatorSection() != 3) rows = -2;
            d.findChild<QPushButton*>("10009")->click();
            d.reject();
            return 0;
        });
        window.OnModuleCommand(viewId);
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
        window.OnModuleCommand(viewId);
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
        QCOMPARE(prompt.LastMessage(), std::string("You must specify all target identities to restore to."));
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

QTEST_MAIN(OeBrowserTest)
#include "OeBrowserTest.moc"
