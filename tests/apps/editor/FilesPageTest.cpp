// The FILES page over the modules the hub loads with their views: roots, command buttons
// and menu, drops (whole paths, however long), saving and refreshing.
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <fstream>

#include "SubViewFiles.h"
#include "core/TavoraDoc.h"
#include "tavengine/TavModFactory.h"
#include "tavui/Prompt.h"
#include "tavui/TreeListCtrl.h"

class FilesPageTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_home;
    std::unique_ptr<CTavModFactory> m_hub;
    tavui::CScriptedPrompt m_prompt;
    std::string m_data, m_deep;

    QPushButton* Button(CSubViewFiles& page, const char* text) {
        for (QPushButton* b : page.CommandButtons())
            if (b->text() == text) return b;
        qFatal("no button %s", text);
    }

private slots:
    void initTestCase() {
        qputenv("TAVORA_HOME", m_home.path().toUtf8());
        m_data = m_home.path().toStdString() + "/data";
        // A folder whose path is longer than 260 characters, and a short one.
        m_deep = m_data;
        while (m_deep.size() <= 300) m_deep += "/a-rather-long-folder-name-for-deep-paths";
        QVERIFY(QDir().mkpath(QString::fromStdString(m_deep)));
        QVERIFY(QDir().mkpath(QString::fromStdString(m_data + "/pics")));
        std::ofstream(m_data + "/pics/f.txt") << "x";
        std::ofstream(m_data + "/pics/g.txt") << "y";
        m_hub = std::make_unique<CTavModFactory>(61000);
        m_hub->EnableViews(true);
        QVERIFY(m_hub->Reconnoiter() >= 1);
        tavui::SetSharedPrompt(&m_prompt);
    }
    void cleanupTestCase() {
        tavui::SetSharedPrompt(nullptr);
        m_hub->ReleaseModules();
    }

    void rootsButtonsDropsAndSave() {
        CTavoraDoc doc;
        doc.NewJob(m_home.path().toStdString());
        CSubViewFiles page(doc, m_hub.get(), m_prompt);
        page.resize(700, 450);
        page.LoadFromJob();
        QVERIFY(!doc.IsModified());
        // A job without a Files node gets one, and the module its root.
        QVERIFY(!doc.Job().GetBackupNode("files").IsEmpty());
        CTreeListCtrl* treeList = page.TreeList();
        QVERIFY(!treeList->Roots().empty());
        CTlcDataProvider* root = treeList->Roots().front();
        QCOMPARE(root->Name(), std::string("Files and Folders"));
        QCOMPARE(treeList->SelectedTreeProvider(), root);
        std::vector<std::string> texts;
        for (QPushButton* b : page.CommandButtons()) texts.push_back(b->text().toStdString());
        QCOMPARE(texts, (std::vector<std::string>{"Add File", "Add Folder", "Remove",
                                                  "File Filtering...", "Selection..."}));
        QVERIFY(Button(page, "Add Folder")->isEnabled());
        QVERIFY(!Button(page, "Remove")->isEnabled());
        QVERIFY(!Button(page, "File Filtering...")->isEnabled());

        // A dropped path reaches the module whole: one too long to be stored is refused by
        // name, never cut to a shorter path that means another folder.
        page.DropPaths({m_deep}, nullptr);
        QVERIFY(root->Children().empty());
        QVERIFY(m_prompt.LastMessage().rfind("\"" + m_deep + "\" is not added: a backup stores",
                                             0) == 0);
        QVERIFY(!doc.IsModified());
        const std::string pics = m_data + "/pics";
        page.DropPaths({pics}, nullptr);
        QCOMPARE(root->Children().size(), size_t(1));
        QCOMPARE(root->Children()[0]->Name(), pics);
        QVERIFY(doc.IsModified());
        treeList->SelectProvider(root->Children()[0]);
        QVERIFY(Button(page, "Remove")->isEnabled());
        QVERIFY(Button(page, "File Filtering...")->isEnabled());

        // The context menu: the module's commands with a separator, enabled by its rules.
        std::unique_ptr<QMenu> menu(page.BuildContextMenu(root));
        QVERIFY(menu != nullptr);
        QCOMPARE(menu->actions().size(), 6);
        QVERIFY(menu->actions()[3]->isSeparator());
        QVERIFY(!menu->actions()[2]->isEnabled());
        menu.reset();

        // Dropping a path inside the source is refused with the warning.
        page.DropPaths({pics + "/f.txt"}, nullptr);
        QCOMPARE(m_prompt.LastMessage(), "\"" + pics + "/f.txt\" already exists in file list");
        QCOMPARE(root->Children().size(), size_t(1));

        // Unchecked and saved: the job holds the source and its exclusion.
        treeList->ListChildren(root->Children()[0]);
        CTlcDataProvider* file = root->Children()[0]->Children().at(0);
        QCOMPARE(file->Name(), std::string("f.txt"));
        file->ChangeCheckState(TLC_UNCHECKED);
        const std::string path = m_home.path().toStdString() + "/page.tvj";
        QVERIFY(doc.Save(path));
        QVERIFY(!doc.IsModified());
        XMLNode node = doc.Job().GetBackupNode("files");
        QCOMPARE(node.GetChild("file").GetAttribute("fullpath"), pics);
        QCOMPARE(node.GetChild("excluded").GetAttribute("fullpath"), pics + "/f.txt");
        QCOMPARE(node.GetChild("partial").GetAttribute("fullpath"), pics + "/g.txt");

        // Refresh reloads from the job and goes back to the selected item.
        treeList->SelectProvider(root->Children()[0]);
        page.Refresh();
        QVERIFY(!doc.IsModified());
        CTlcDataProvider* selected = treeList->SelectedTreeProvider();
        QVERIFY(selected != nullptr);
        QCOMPARE(selected->Name(), pics);
        QCOMPARE(selected->CheckState(), TLC_PARTLY);

        // Remove through the button: the source goes and the root is selected.
        Button(page, "Remove")->click();
        QVERIFY(treeList->Roots().front()->Children().empty());
        QCOMPARE(treeList->SelectedTreeProvider(), treeList->Roots().front());
        QVERIFY(node.GetChild("file").IsEmpty());
    }
};

QTEST_MAIN(FilesPageTest)
#include "FilesPageTest.moc"
