// The command host's window (offscreen): Stop asks only when the window is shown, a "No"
// keeps the run going, a failed run says what failed, the controls carry the run.
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "CmdHostText.h"
#include "HostTray.h"
#include "HostWindow.h"
#include "RunnerTestUtil.h"
#include "platform/Process.h"
#include "tavengine/TavModFactory.h"
#include "tavui/Prompt.h"

using namespace cmdhost;

class HostWindowGuiTest : public QObject {
    Q_OBJECT
    std::unique_ptr<hosttest::CTempDir> m_dir;
    std::unique_ptr<CTavModFactory> m_hub;
    tavui::CScriptedPrompt m_prompt;

    // A job of the test module: `attributes` say how it runs.
    std::string Job(const std::vector<std::pair<std::string, std::string>>& attributes) {
        hosttest::CTestJob job(*m_dir);
        job.AddModule("alpha", attributes);
        if (job.job.Save(job.path) != 1) qFatal("cannot save the job");
        return job.path;
    }

    // Runs the job in the window; `during` is called at the first progress report.
    int Run(CHostWindow& window, const std::string& job, std::function<void()> during) {
        QTimer::singleShot(0, &window, during);
        return window.HandleTokens({"TavCmdHost", "JOB_BACKUP", job, "FULL"});
    }

    template <typename T>
    T* Find(CHostWindow& window, int id) {
        T* w = window.findChild<T*>(QString::number(id));
        if (!w) qFatal("no control %d", id);
        return w;
    }

private slots:
    void init() {
        m_dir = std::make_unique<hosttest::CTempDir>();
        plat::SetEnv("TAVORA_MODULE_PATH", CMDHOST_TEST_MODULE_DIR);
        m_hub = std::make_unique<CTavModFactory>(60000);
        m_hub->Reconnoiter();
        m_prompt = tavui::CScriptedPrompt();
    }

    void hiddenTrayStopStopsWithoutAQuestionAndOpenShowsTheWindow() {
        CHostWindow window(*m_hub, m_prompt, true);
        QVERIFY(!window.isVisible());
        const int status = Run(window, Job({{"progress", "50"}}), [&] { window.Tray()->StopAction()->trigger(); });
        QCOMPARE(status, 1);
        QCOMPARE(window.App().Runner().LastRun().outcome, RunOutcome::Cancelled);
        QVERIFY2(m_prompt.messages.empty(), m_prompt.LastMessage().c_str());

        window.Tray()->OpenAction()->trigger();
        QVERIFY(window.isVisible());
        QCOMPARE(Find<QPushButton>(window, ID_HIDE)->text(), QString("Hide"));
        Find<QPushButton>(window, ID_HIDE)->click();
        QVERIFY(!window.isVisible());
    }

    void visibleStopAnsweredNoKeepsRunning() {
        CHostWindow window(*m_hub, m_prompt, false);
        window.show();
        m_prompt.answers = {tavui::ID_NO};
        const int status = Run(window, Job({{"progress", "5"}}), [&] { Find<QPushButton>(window, ID_STOP)->click(); });
        QCOMPARE(status, 0);
        QVERIFY(m_prompt.messages.size() >= 2);
        QCOMPARE(m_prompt.messages[0].text, std::string("Do you want to stop operation?"));
        QCOMPARE(m_prompt.messages[0].defaultButton, tavui::ID_NO);
        QCOMPARE(m_prompt.messages.back().text, std::string("Backup Finished."));
        // The controls show the run.
        QCOMPARE(Find<QLabel>(window, ID_WORKING)->text(), QString("Working TavJob"));
        QVERIFY(window.windowTitle().startsWith("TavCmdHost Backup: "));
        QVERIFY(Find<QLabel>(window, ID_START_TEXT)->text().startsWith("Started from: "));
    }

    void visibleStopAnsweredYesStopsWithoutFinishedBox() {
        CHostWindow window(*m_hub, m_prompt, false);
        window.show();
        m_prompt.answers = {tavui::ID_YES};
        const int status = Run(window, Job({{"progress", "50"}}), [&] { window.reject(); });  // Escape
        QCOMPARE(status, 1);
        QCOMPARE(m_prompt.messages.size(), size_t(1));
    }

    void aFailedRunSaysWhatFailedAndTheMenuHasTheAboutBox() {
        CHostWindow window(*m_hub, m_prompt, false);
        window.show();
        const int status = Run(window, Job({{"fail", "yes"}}), [] {});
        QCOMPARE(status, 1);
        QCOMPARE(m_prompt.messages.size(), size_t(1));
        const std::string text = m_prompt.messages[0].text;
        QVERIFY2(text.find("Backup failed: module \"alpha\" did not finish") == 0, text.c_str());
        QCOMPARE(m_prompt.messages[0].icon, tavui::PromptIcon::Warning);

        // The about box from the context menu.
        QString title, version;
        tavui::SetDialogRunner([&](QDialog& dialog) {
            title = dialog.windowTitle();
            version = dialog.findChild<QLabel*>("version")->text();
            return int(QDialog::Accepted);
        });
        QCOMPARE(window.actions().size(), qsizetype(1));
        QCOMPARE(window.actions()[0]->text(), QString("&About TavCmdHost..."));
        window.actions()[0]->trigger();
        tavui::SetDialogRunner(nullptr);
        QCOMPARE(title, QString("About TavCmdHost"));
        QCOMPARE(version, QString("TavCmdHost Version 1.0"));
    }
};

QTEST_MAIN(HostWindowGuiTest)
#include "HostWindowGuiTest.moc"
