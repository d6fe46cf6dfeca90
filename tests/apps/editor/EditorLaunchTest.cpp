// The editor starting the suite's programs (Backup Now, TVR Browse and Restore, bringing an
// open browser window to the front) and opening dropped job files.
#include <QSignalSpy>

#include "EditorFrameTest.h"
#include "core/EditorSettings.h"
#include "tavui/WindowBeacon.h"

class EditorLaunchTest : public CEditorFrameTest {
    Q_OBJECT
    void Trigger(int id) { m_frame->Action(id)->trigger(); }

private slots:
    void init() {
        OpenFrame();
        QDir().mkpath(QString::fromStdString(m_frame->Doc().Job().GetImageDesc("location")));
    }
    void cleanup() { CloseFrame(); }

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
        Trigger(editortext::ID_TOOLS_BROWSE);
        Trigger(editortext::ID_TOOLS_RESTORE);
        QVERIFY(m_started.empty());
        QTRY_COMPARE(fronted.count(), 2);

        // The window shows another image now: a browser is started for this one.
        browser->setWindowTitle("TvrBrowser - /elsewhere.tvr");
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
