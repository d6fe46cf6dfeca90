// The editor starting the suite's programs (Backup Now, TVR Browse and Restore, bringing an
// open browser window to the front) and opening dropped job files.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "EditorTexts.h"
#include "TavoraMainFrame.h"
#include "core/EditorSettings.h"
#include "tavengine/TavModFactory.h"
#include "tavui/Prompt.h"
#include "tavui/WindowBeacon.h"

class EditorLaunchTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_home;
    std::unique_ptr<CTavModFactory> m_hub;
    tavui::CScriptedPrompt m_prompt;
    std::unique_ptr<CTavoraMainFrame> m_frame;
    std::vector<QStringList> m_started;

    std::string Path(const char* name) const { return (m_home.path() + "/" + name).toStdString(); }
    void Trigger(int id) { m_frame->Action(id)->trigger(); }

private slots:
    void init() {
        qputenv("TAVORA_HOME", m_home.path().toUtf8());
        qputenv("HOME", m_home.path().toUtf8());
        qputenv("XDG_RUNTIME_DIR", m_home.path().toUtf8());
        m_prompt = tavui::CScriptedPrompt();
        m_hub = std::make_unique<CTavModFactory>(editortext::HUB_COMMAND_BASE);
        m_frame = std::make_unique<CTavoraMainFrame>(m_hub.get(), m_prompt);
        m_started.clear();
        QDir().mkpath(QString::fromStdString(m_frame->Doc().Job().GetImageDesc("location")));
        m_frame->startProgram = [this](const QString& program, const QStringList& args) {
            m_started.push_back(QStringList{QFileInfo(program).fileName()} + args);
            return true;
        };
    }
    void cleanup() {
        m_frame->Doc().SetModified(false);
        m_frame.reset();
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
        QCOMPARE(beacon.Title(), "TvrBrowser - " + image);
        QSignalSpy fronted(&beacon, &tavui::CWindowBeacon::broughtToFront);
        Trigger(editortext::ID_TOOLS_BROWSE);
        Trigger(editortext::ID_TOOLS_RESTORE);
        QVERIFY(m_started.empty());
        QTRY_COMPARE(fronted.count(), 2);

        // The window shows another image now: a browser is started for this one.
        browser->setWindowTitle("TvrBrowser - /elsewhere.tvr");
        QCOMPARE(beacon.Title(), std::string("TvrBrowser - /elsewhere.tvr"));
        Trigger(editortext::ID_TOOLS_RESTORE);
        QCOMPARE(m_started.back(), (QStringList{"TvrBrowser", "/RESTOREDLG", QString::fromStdString(image)}));
        Trigger(editortext::ID_TOOLS_BROWSE);
        QCOMPARE(m_started.back(), (QStringList{"TvrBrowser", QString::fromStdString(image)}));
    }

    void droppedJobFileOpens() {
        m_prompt.files.push_back(Path("dropped.tvj"));
        QVERIFY(m_frame->SaveJobAs());
        QVERIFY(m_frame->NewJob());
        QVERIFY(m_frame->acceptDrops());
        QVERIFY(m_frame->OpenDroppedFiles({QString::fromStdString(Path("dropped.tvj")), "/elsewhere/other.tvj"}));
        QCOMPARE(QString::fromStdString(m_frame->Doc().Path()), QString::fromStdString(Path("dropped.tvj")));
        // It heads the recent files.
        QVERIFY(m_frame->Action(editortext::ID_FILE_MRU_FIRST)->text().endsWith("dropped.tvj"));
    }
};

QTEST_MAIN(EditorLaunchTest)
#include "EditorLaunchTest.moc"
