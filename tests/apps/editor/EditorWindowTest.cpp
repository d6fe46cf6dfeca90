// The editor's window: pages, document handling with its prompts, the SETTINGS page, the
// backup condition dialog, starting the suite's programs (Backup Now, TVR Browse and Restore,
// bringing an open browser window to the front) and opening dropped job files.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QTreeWidget>

#include "BackupConditionDlg.h"
#include "EditorFrameTest.h"
#include "OptionDlg.h"
#include "core/EditorSettings.h"
#include "platform/Registry.h"
#include "tavengine/TavEngine.h"
#include "tavui/WindowBeacon.h"

class EditorWindowTest : public CEditorFrameTest {
    Q_OBJECT

private slots:
    void init() {
        QFile::remove(m_home.path() + "/machine.reg");
        QFile::remove(m_home.path() + "/user.reg");
        OpenFrame();
        QDir().mkpath(QString::fromStdString(m_frame->Doc().Job().GetImageDesc("location")));
    }
    void cleanup() { CloseFrame(); }

    void pagesFrameNewJobsAndTheSettingsPage() {
        QVERIFY(Find<QToolButton>(1077)->isChecked());
        QCOMPARE(m_frame->CurrentPage()->objectName(), QString("136"));
        QVERIFY(m_frame->SelectPage("history"));
        QCOMPARE(m_frame->CurrentPage()->objectName(), QString("106"));
        QVERIFY(Find<QToolButton>(1084)->isChecked());
        QVERIFY(Find<QLabel>(1003)->text().isEmpty());
        QVERIFY(Find<QLabel>(1085)->isHidden());
        Find<QToolButton>(1081)->click();
        QCOMPARE(m_frame->CurrentPage()->objectName(), QString("103"));
        QVERIFY(Find<QLabel>(1003)->text().startsWith("Add files or folders"));
        QVERIFY(!m_frame->SelectPage("nothing"));

        // New jobs and the SETTINGS page.
        QCOMPARE(Find<QLineEdit>(1010)->text(), QString("Image000"));
        QVERIFY(m_frame->NewJob());
        QCOMPARE(Find<QLineEdit>(1010)->text(), QString("Image001"));
        QCOMPARE(Find<QLineEdit>(1051)->text(), m_home.path() + "/Documents");
        QVERIFY(Find<QCheckBox>(1019)->isChecked() && Find<QCheckBox>(1018)->isChecked());
        QVERIFY(!m_frame->Doc().IsModified());

        Find<QCheckBox>(1018)->click();
        QVERIFY(!Find<QComboBox>(1049)->isEnabled());
        QVERIFY(m_frame->Doc().IsModified());
        QTest::keyClicks(Find<QLineEdit>(1010), "x");
        m_prompt.files.push_back(Path("settings.tvj"));
        QVERIFY(m_frame->SaveJob());
        QVERIFY(!m_frame->Doc().IsModified());
        QCOMPARE(m_frame->Doc().Job().GetImageEncoding(), 16u);

        QVERIFY(m_frame->NewJob());
        QVERIFY(m_frame->OpenJob(Path("settings.tvj")));
        QCOMPARE(Find<QLineEdit>(1010)->text(), QString("Image001x"));
        QVERIFY(!Find<QCheckBox>(1018)->isChecked());
        QVERIFY(!m_frame->Doc().IsModified());
    }

    void saveChangesPromptAndDeclinedSave() {
        QTest::keyClicks(Find<QLineEdit>(1010), "y");
        m_prompt.answers.push_back(tavui::ID_CANCEL);
        QVERIFY(!m_frame->NewJob());
        QVERIFY(m_frame->Doc().IsModified());
        QCOMPARE(m_prompt.messages.back().buttons, tavui::PromptButtons::YesNoCancel);
        m_prompt.answers.push_back(tavui::ID_NO);
        QVERIFY(m_frame->NewJob());
        QVERIFY(!m_frame->Doc().IsModified());

        // A declined save keeps the job modified.
        QTest::keyClicks(Find<QLineEdit>(1010), "z");
        m_prompt.answers.push_back(tavui::ID_NO);
        QVERIFY(!m_frame->EnsureSavedJob());
        QVERIFY(m_frame->Doc().IsModified());
        // So closing still asks, and Cancel keeps the window.
        m_prompt.answers.push_back(tavui::ID_CANCEL);
        QVERIFY(!m_frame->close());
        m_prompt.answers.push_back(tavui::ID_YES);
        m_prompt.files.push_back(Path("ensured.tvj"));
        QVERIFY(m_frame->EnsureSavedJob());
        QVERIFY(QFile::exists(QString::fromStdString(Path("ensured.tvj"))));
        QVERIFY(m_frame->EnsureSavedJob());  // a saved job is used as it is
    }

    void backupSettingsDialog() {
        const uint32_t before = m_frame->Doc().Job().GetBackupCommand();
        tavui::SetDialogRunner([](QDialog& d) {
            auto& dialog = static_cast<CBackupConditionDlg&>(d);
            auto* ignore = dialog.findChild<QCheckBox*>("1015");
            ignore->setChecked(true);
            if (dialog.findChild<QRadioButton*>("1103")->isEnabled()) return 0;
            ignore->setChecked(false);
            dialog.findChild<QRadioButton*>("1103")->setChecked(true);
            dialog.findChild<QCheckBox*>("1012")->setChecked(false);
            dialog.findChild<QCheckBox*>("1014")->setChecked(true);
            dialog.findChild<QCheckBox*>("1010")->setChecked(true);
            return int(QDialog::Accepted);
        });
        Find<QPushButton>(1102)->click();
        const uint32_t after = m_frame->Doc().Job().GetBackupCommand();
        QCOMPARE(after & ~0x135u, before & ~0x135u);
        QCOMPARE(after & 0x135u, 0x10u | 0x1u | 0x100u);
        QVERIFY(m_frame->Doc().IsModified());
    }

    void commandLineDropsAndBrowser() {
        m_frame->Action(editortext::ID_TOOLS_RESTORE)->trigger();
        QCOMPARE(m_started.back(), (QStringList{"TvrBrowser", "/OPENDLG"}));
        m_prompt.files.push_back(Path("cmd.tvj"));
        QVERIFY(m_frame->SaveJobAs());
        QVERIFY(m_frame->NewJob());
        m_frame->HandleCommandLine({QString::fromStdString(Path("cmd.tvj"))});
        QCOMPARE(m_frame->Doc().Path(), Path("cmd.tvj"));
        QVERIFY(!m_frame->OpenJob(Path("absent.tvj")));
        QVERIFY(m_prompt.LastMessage().find("absent.tvj") != std::string::npos);
        QCOMPARE(m_frame->Doc().Path(), Path("cmd.tvj"));

        // A dropped job file opens (the first one dropped) and heads the recent files.
        m_prompt.files.push_back(Path("dropped.tvj"));
        QVERIFY(m_frame->SaveJobAs());
        QVERIFY(m_frame->NewJob());
        QVERIFY(m_frame->acceptDrops());
        QVERIFY(m_frame->OpenDroppedFiles(
            {QString::fromStdString(Path("dropped.tvj")), "/elsewhere/other.tvj"}));
        QCOMPARE(m_frame->Doc().Path(), Path("dropped.tvj"));
        QVERIFY(m_frame->Action(editortext::ID_FILE_MRU_FIRST)->isVisible());
        QVERIFY(m_frame->Action(editortext::ID_FILE_MRU_FIRST)->text().endsWith("dropped.tvj"));
    }

    void optionsExcludedPathsAndBackupSettings() {
        plat::CRegistry user;
        QVERIFY(user.Open(plat::HKEY_CURRENT_USER, "Software\\Norvik\\Tavora", true));
        // A stored list whose last path has no ";" keeps that path.
        QVERIFY(user.WriteString("ExcludedPaths", "/srv/a;/srv/b"));
        m_prompt.files = {std::string("/srv/x;y"), std::string("/srv/c")};
        m_prompt.answers = {tavui::ID_OK, tavui::ID_YES};
        tavui::SetDialogRunner([](QDialog& d) {
            auto* rows = d.findChild<QTreeWidget*>("1087");
            if (rows->topLevelItemCount() != 2 || rows->topLevelItem(1)->text(0) != "/srv/b") return 0;
            d.findChild<QPushButton*>("1089")->click();  // refused: holds ";"
            d.findChild<QPushButton*>("1089")->click();
            rows->setCurrentItem(rows->topLevelItem(0));
            d.findChild<QPushButton*>("1090")->click();
            if (rows->currentItem() != rows->topLevelItem(0)) return 0;
            d.findChild<QCheckBox*>("1088")->setChecked(false);
            // The backup settings page gives the next new job its defaults.
            auto* page = d.findChild<QWidget*>("206");
            page->findChild<QLineEdit*>("1051")->setText("/srv/images");
            page->findChild<QCheckBox*>("1019")->setChecked(false);
            page->findChild<QComboBox*>("1049")->setCurrentIndex(5);
            d.accept();
            return d.result();
        });
        m_frame->Action(editortext::ID_TOOLS_OPTIONS)->trigger();
        QVERIFY(m_prompt.messages.at(0).text.find("/srv/x;y") != std::string::npos);
        QCOMPARE(m_prompt.messages.at(1).text,
                 std::string("Do you want to remove \"/srv/a\" from excluded path list?"));
        QCOMPARE(m_prompt.messages.at(1).defaultButton, tavui::ID_NO);
        std::string list;
        uint32_t enabled = 1;
        QVERIFY(user.ReadString("ExcludedPaths", list) && user.ReadNumber("EnableExcludedPaths", enabled));
        QCOMPARE(list, std::string("/srv/b;/srv/c;"));
        QCOMPARE(enabled, 0u);
        QVERIFY(m_frame->NewJob());
        QCOMPARE(m_frame->Doc().Job().GetImageEncoding(), 9u);
        QCOMPARE(m_frame->Doc().Job().GetImageDesc("location"), std::string("/srv/images"));
        // "Default" writes the default list at once, even when the dialog is cancelled.
        m_prompt.answers = {tavui::ID_YES};
        tavui::SetDialogRunner([](QDialog& d) {
            d.findChild<QPushButton*>("1091")->click();
            return int(QDialog::Rejected);
        });
        m_frame->Action(editortext::ID_TOOLS_OPTIONS)->trigger();
        QVERIFY(user.ReadString("ExcludedPaths", list));
        QCOMPARE(list, GetDefaultExcludedPaths());
    }

    // "TVR Browse" and "Restore" bring a browser that shows the job's image to the front;
    // without one they start the browser on that image.
    void browseFindsAnOpenBrowser() {
        m_prompt.files.push_back(Path("browse.tvj"));
        QVERIFY(m_frame->SaveJobAs());
        std::string image;
        QVERIFY(QFile(QString::fromStdString(m_frame->Doc().Job().FormatImagePath(""))).open(QIODevice::WriteOnly));
        QVERIFY(m_frame->Doc().Job().FindLastImagePath(image) != 0xFFFFFFFF);

        auto browser = std::make_unique<QWidget>();
        browser->setWindowTitle(QString::fromStdString("TvrBrowser - " + image));
        tavui::CWindowBeacon beacon(browser.get());
        QSignalSpy fronted(&beacon, &tavui::CWindowBeacon::broughtToFront);
        m_frame->Action(editortext::ID_TOOLS_BROWSE)->trigger();
        m_frame->Action(editortext::ID_TOOLS_RESTORE)->trigger();
        QVERIFY(m_started.empty());
        QTRY_COMPARE(fronted.count(), 2);

        // The window shows another image now: a browser is started for this one.
        browser->setWindowTitle("TvrBrowser - /elsewhere.tvr");
        m_frame->Action(editortext::ID_TOOLS_RESTORE)->trigger();
        QCOMPARE(m_started.back(), (QStringList{"TvrBrowser", "/RESTOREDLG", QString::fromStdString(image)}));
        m_frame->Action(editortext::ID_TOOLS_BROWSE)->trigger();
        QCOMPARE(m_started.back(), (QStringList{"TvrBrowser", QString::fromStdString(image)}));
    }
};

QTEST_MAIN(EditorWindowTest)
#include "EditorWindowTest.moc"
