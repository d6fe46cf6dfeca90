// The editor's SCHEDULE, HISTORY and STATUS pages and Backup Now, on the in-memory scheduler
// and the Files and Folders module of the build.
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimeEdit>
#include <QTimer>
#include <QTreeWidget>

#include "BackupNow.h"
#include "BackupTypeDlg.h"
#include "EditorFrameTest.h"
#include "HostRunLink.h"
#include "HostRunSource.h"
#include "SubViewHistory.h"
#include "SubViewSchedule.h"
#include "SubViewStatus.h"
#include "apps/AppTestUtil.h"
#include "platform/FaultPlan.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/TaskScheduler.h"
#include "platform/WindowChannel.h"
#include "support/TempDir.h"
#include "tavengine/TavEngineObserver.h"
#include "tavhost/HostMessages.h"

namespace {
// The baselines of the editor's runs (a new repository starts with an empty one of its own).
std::vector<TavBaselineHeaderRec> ManualRuns(const std::string& image) {
    std::vector<TavBaselineHeaderRec> runs;
    for (const TavBaselineHeaderRec& b : apptest::Baselines(image))
        if (apptest::Utf16Text(b.description, 512) == "Manual Backup") runs.push_back(b);
    return runs;
}
}  // namespace

// A command host run as the client of the host would report it.
class CFakeHostRuns : public IHostRunSource {
public:
    std::string backingUp, restoring, followed;
    IHostRunSink* sink = nullptr;
    bool IsRestoring(const std::string& image) override { return image == restoring; }
    bool IsBackingUp(const std::string& image) override { return image == backingUp; }
    bool Follow(const std::string& image, IHostRunSink& s) override {
        followed = image;
        sink = image == backingUp ? &s : nullptr;
        return sink != nullptr;
    }
    void Unfollow() override { sink = nullptr; }
};

class RunPagesWindowTest : public CEditorFrameTest {
    Q_OBJECT
    std::shared_ptr<plat::ITaskScheduler> m_scheduler;
    // How the next "Backup Type" dialog is answered: full or not, or nullopt for Cancel;
    // what it offered is recorded.
    std::optional<bool> m_chooseFull;
    bool m_offeredIncremental = false, m_preselectedIncremental = false;

    QString Info(int row) { return Find<QTreeWidget>("1029")->topLevelItem(row)->text(1); }

    // A saved job backing up a few files into the home folder.
    void SaveJob() {
        QDir(m_home.path()).mkpath("data");
        for (int i = 0; i < 6; ++i)
            QVERIFY(tavtest::WriteFile(Path("data") + "/f" + std::to_string(i), std::string(70000, char('a' + i))));
        CTavJobHelper& job = m_frame->Doc().Job();
        job.SetImageDesc("Image000", "2.00 GB", 31, m_home.path().toStdString());
        job.AddBackupNode("Files and Folders", "files").AddChild("file").SetAttribute("fullpath", Path("data"));
        QVERIFY(job.Save(Path("daily.tvj")));
        m_frame->Doc().SetModified(false);
    }
    bool RunBackup() {
        QSignalSpy done(&m_frame->BackupNow(), &CBackupNow::finished);
        m_frame->Action(editortext::ID_TOOLS_BACKUP_NOW)->trigger();
        return done.count() > 0 || done.wait(60000);
    }

private slots:
    void initTestCase() { qputenv("TAVORA_MODULE_PATH", FILES_MODULE_DIR); }
    void init() {
        m_scheduler = plat::MakeMemoryScheduler();
        plat::SetTaskSchedulerOverride(m_scheduler);
        OpenFrame(true);
        m_frame->show();
        m_chooseFull = false;
        tavui::SetDialogRunner([this](QDialog& dialog) {
            auto* type = qobject_cast<CBackupTypeDlg*>(&dialog);
            if (!type || !m_chooseFull) return int(QDialog::Rejected);
            m_offeredIncremental = type->findChild<QRadioButton*>("IncrementalBackup")->isEnabled();
            m_preselectedIncremental = !type->IsFull();
            type->SetFull(*m_chooseFull);
            return int(QDialog::Accepted);
        });
    }
    void cleanup() {
        CloseFrame();
        plat::SetTaskSchedulerOverride(nullptr);
        QDir(m_home.path()).removeRecursively();
        QDir().mkpath(m_home.path());
    }

    void scheduleNewListsDeletes() {
        SaveJob();
        auto* page = Find<QWidget>("105");
        auto* list = Find<QTreeWidget>("1043");
        static_cast<CSubViewSchedule*>(page)->hostProgram = [] { return std::string("/bin/sh"); };
        QVERIFY(m_frame->SelectPage("SCHEDULE"));
        QCOMPARE(list->topLevelItemCount(), 0);
        QVERIFY(!Find<QPushButton>("1047")->isEnabled());

        m_chooseFull = true;
        Find<QPushButton>("1045")->click();
        m_chooseFull = false;
        Find<QPushButton>("1045")->click();
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(0)->text(0), QString("Full Backup"));
        QCOMPARE(list->topLevelItem(0)->text(1), QString("every Sat at 01:00"));
        QCOMPARE(list->topLevelItem(1)->text(0), QString("Incremental Backup"));
        QCOMPARE(list->topLevelItem(1)->text(1), QString("every day at 02:00"));
        QVERIFY(Find<QWidget>("1060")->isVisible());

        // The editor's times reach the task when the job is saved.
        list->setCurrentItem(list->topLevelItem(0));
        Find<QTimeEdit>("ScheduleTime")->setTime(QTime(3, 30));
        Find<QCheckBox>("ScheduleDay1")->setChecked(true);
        QVERIFY(m_frame->Doc().IsModified());
        QVERIFY(m_frame->SaveJob());
        std::vector<plat::ScheduledTask> stored;
        QVERIFY(m_scheduler->List(stored));
        const std::string fullName = list->topLevelItem(0)->data(0, Qt::UserRole).toString().toStdString();
        for (const plat::ScheduledTask& task : stored) {
            if (task.name != fullName) continue;
            QCOMPARE(task.triggers[0].hour * 60 + task.triggers[0].minute, 210);
            QCOMPARE(int(task.triggers[0].weekDays), (1 << 1) | (1 << 6));
        }
        QCOMPARE(list->topLevelItem(0)->text(1), QString("every Mon, Sat at 03:30"));

        // Both selected: each is deleted once.
        list->selectAll();
        m_prompt.answers.push_back(tavui::ID_YES);
        Find<QPushButton>("1047")->click();
        QCOMPARE(m_prompt.messages.back().text, std::string("Do you want to delete the selected schedule?"));
        QCOMPARE(m_prompt.messages.back().defaultButton, tavui::ID_NO);
        QCOMPARE(list->topLevelItemCount(), 0);
        std::vector<plat::ScheduledTask> left;
        QVERIFY(m_scheduler->List(left));
        QVERIFY(left.empty());
        QVERIFY(!Find<QPushButton>("1047")->isEnabled());
    }

    void scheduleUnavailableIsSaid() {
        plat::SetTaskSchedulerOverride(nullptr);
        auto* page = static_cast<CSubViewSchedule*>(Find<QWidget>("105"));
        page->openScheduler = [](std::string& error) {
            error = "no crontab program";
            return std::shared_ptr<plat::ITaskScheduler>();
        };
        QVERIFY(m_frame->SelectPage("SCHEDULE"));
        QVERIFY(m_prompt.LastMessage().rfind("Cannot access to the Linux scheduler", 0) == 0);
        QVERIFY(m_prompt.LastMessage().find("no crontab program") != std::string::npos);
        QVERIFY(!Find<QPushButton>("1045")->isEnabled());
        QVERIFY(!Find<QWidget>("1082")->isEnabled());
    }

    void historyListsAndPurges() {
        SaveJob();
        const std::string folder = CTavEngineObserver::GetLogFolder(m_frame->Doc().Job());
        QVERIFY(plat::CreateDirectories(folder));
        for (const char* name : {"60000000.10001000.log", "60000100.10002000.log", "60000200.20000000.log"})
            QVERIFY(tavtest::WriteFile(folder + "/" + name, std::string(name, 8)));
        QVERIFY(m_frame->SelectPage("HISTORY"));
        auto* list = Find<QTreeWidget>("1034");
        QCOMPARE(list->topLevelItemCount(), 3);
        QCOMPARE(list->topLevelItem(0)->text(1), QString("Restore"));
        QCOMPARE(list->topLevelItem(2)->text(1), QString("Full Backup"));
        QCOMPARE(list->topLevelItem(2)->text(2), QString("60000000.10001000.log"));
        QCOMPARE(Find<QPlainTextEdit>("1035")->toPlainText(), QString("60000200"));

        auto* page = static_cast<CSubViewHistory*>(Find<QWidget>("106"));
        page->now = [] { return std::time(nullptr) + 60; };
        page->removeLog = [](const std::string& path, std::string& error) {
            if (path.find("60000100") == std::string::npos) return plat::RemoveFile(path);
            error = "Permission denied";
            return false;
        };
        m_prompt.answers.push_back(tavui::ID_YES);
        page->PurgeMenu()->findChild<QAction*>("60001")->trigger();
        QCOMPARE(m_prompt.messages[m_prompt.messages.size() - 2].text,
                 std::string("Do you want to purge all log files."));
        QCOMPARE(m_prompt.LastMessage(), std::string("Finish. 2 log files have been purged.\nThese log files could "
                                                     "not be deleted:\n60000100.10002000.log: Permission denied"));
        QCOMPARE(list->topLevelItemCount(), 1);
    }

    void backupNowRunsFillsTheStatusPageAndAStopRollsBack() {
        SaveJob();
        const uint32_t command = m_frame->Doc().Job().GetBackupCommand();
        m_chooseFull = false;  // asks incremental; only full can be had before the first image
        QVERIFY(RunBackup());
        QVERIFY(!m_offeredIncremental);
        QCOMPARE(m_prompt.LastMessage(), std::string("Backup Finished."));
        QCOMPARE(m_frame->CurrentPage()->objectName(), QString("104"));
        const auto baselines = ManualRuns(Path("Image000.tvr"));
        QCOMPARE(baselines.size(), size_t(1));
        QCOMPARE(baselines[0].type & 0xF000F000u, 0x10001000u);
        QCOMPARE(Info(0), m_home.path() + "/daily.tvj");
        QCOMPARE(Info(2), m_home.path() + "/Image000.tvr");
        QCOMPARE(Info(3), QString("1 part(s)"));
        QCOMPARE(Info(5), QString("OK"));
        QVERIFY(Find<QPlainTextEdit>("1030")->toPlainText().contains(QString(77, '-')));
        QVERIFY(Find<QProgressBar>("1031")->isHidden());
        QCOMPARE(m_frame->Doc().Job().GetBackupCommand(), command);
        QVERIFY(!m_frame->Doc().IsModified());

        // A transaction that cannot start leaves nothing held.
        {
            plat::FaultRule rule{plat::FaultOp::Lock, "TAVIMAGE"};
            rule.times = 1;
            plat::CFaultScope fault(rule);
            QVERIFY(!m_frame->BackupNow().Start());
            QCOMPARE(fault.Hits(), 1u);
        }
        QVERIFY(m_prompt.LastMessage().rfind("Access denied. Cannot start backup operation.", 0) == 0);
        QVERIFY(m_frame->Action(editortext::ID_TOOLS_BACKUP_NOW)->isEnabled());

        // The second run is offered incremental, preselected; a declined save runs the saved
        // job and keeps the edit.
        m_frame->Doc().Job().SetRepDescription("edited");
        m_prompt.answers.push_back(tavui::ID_NO);  // "Save changes to daily.tvj?"
        QVERIFY(RunBackup());
        QCOMPARE(m_prompt.LastMessage(), std::string("Backup Finished."));
        QVERIFY(m_frame->Doc().IsModified());
        QVERIFY(m_offeredIncremental && m_preselectedIncremental);
        QCOMPARE(ManualRuns(Path("Image000.tvr")).size(), size_t(2));
        QCOMPARE(Info(3), QString("2 part(s)"));
        // A history of both runs.
        QVERIFY(m_frame->SelectPage("HISTORY"));
        QCOMPARE(Find<QTreeWidget>("1034")->topLevelItemCount(), 2);
        QCOMPARE(Find<QTreeWidget>("1034")->topLevelItem(0)->text(1),
                 QString("Incremental Backup"));

        // A third run stopped with Yes is rolled back (the edit is still not saved).
        m_frame->BackupNow().runOnWorker = false;
        static_cast<CSubViewStatus*>(Find<QWidget>("104"))->SetInlineRun(true);
        m_prompt.answers = {tavui::ID_NO, tavui::ID_YES};
        QTimer::singleShot(0, this, [this] { Find<QPushButton>("1033")->click(); });
        m_chooseFull = true;
        QVERIFY(RunBackup());
        QCOMPARE(m_prompt.messages[m_prompt.messages.size() - 2].text, std::string("Do you want to stop operation?"));
        QVERIFY(m_prompt.LastMessage().rfind("The backup did not finish: the run was stopped", 0) == 0);
        QCOMPARE(m_prompt.messages.back().icon, tavui::PromptIcon::Warning);
        QCOMPARE(ManualRuns(Path("Image000.tvr")).size(), size_t(2));
    }

    void aHostRunOfTheJobIsFollowedAlsoARealOneFromBusyToOk() {
        SaveJob();
        CFakeHostRuns host;
        host.backingUp = m_frame->Doc().Job().GetImagePathText();
        m_frame->SetHostRunSource(&host);
        QVERIFY(host.sink != nullptr);
        // Backup Now only shows the host's run.
        m_chooseFull = true;
        QVERIFY(!m_frame->BackupNow().Start());
        QCOMPARE(m_frame->CurrentPage()->objectName(), QString("104"));
        QVERIFY(m_prompt.messages.empty());
        host.sink->OnHostRunState(1);
        QCOMPARE(Info(5), QString("Busy"));
        host.sink->OnHostProgress("Backup", "/home/u/a.txt", 40);
        QVERIFY(Find<QProgressBar>("1031")->isVisible());
        QCOMPARE(Find<QProgressBar>("1031")->value(), 40);
        QCOMPARE(Find<QLabel>("1032")->text(), QString("Backup: /home/u/a.txt"));
        host.sink->OnHostRunState(3);
        QCOMPARE(Info(5), QString("OK"));
        QVERIFY(Find<QProgressBar>("1031")->isHidden());
        // A restore of the same repository is said, and nothing runs.
        host.restoring = host.backingUp;
        QVERIFY(!m_frame->BackupNow().Start());
        QCOMPARE(m_prompt.LastMessage(), host.restoring + " is in restoring process.");
        m_frame->SetHostRunSource(nullptr);

        // The page follows a real host process through the editor's own link: Busy while the
        // host runs (slowed by its test hook), OK once it has committed.
        const std::string image = m_frame->Doc().Job().GetImagePathText();
        plat::CEventListener opened(tavhost::HostTitleForImage(image));
        plat::CChildProcess process;
        QVERIFY(process.Start(
            {"/usr/bin/env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM",
             "TAVORA_TEST_THROTTLE_MS=400", std::string("TAVORA_MODULE_PATH=") + FILES_MODULE_DIR,
             TAVCMDHOST_PATH, "JOB_BACKUP", Path("daily.tvj"), "FULL", "SW_HIDE"}));
        QVERIFY2(opened.Wait(30000), "the host opens its transaction");
        CHostRunLink link;
        m_frame->SetHostRunSource(&link);
        // The frame must not keep the link when a check below ends the test early.
        const std::unique_ptr<CTavoraMainFrame, void (*)(CTavoraMainFrame*)> unlink(
            m_frame.get(), [](CTavoraMainFrame* frame) { frame->SetHostRunSource(nullptr); });
        // The run is already under way when the page starts following it.
        QTRY_COMPARE_WITH_TIMEOUT(Info(5), QString("Busy"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(Info(5), QString("OK"), 60000);
        QCOMPARE(process.Wait(), 0);
    }
};

QTEST_MAIN(RunPagesWindowTest)
#include "RunPagesWindowTest.moc"
