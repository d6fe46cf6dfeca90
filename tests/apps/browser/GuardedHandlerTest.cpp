// A window's handler that throws (a repository exception, a standard exception, anything
// else) ends in the program's application object as one counted error; the program goes on
// and a thrown CTavException* is released.
#include <QEvent>
#include <QObject>
#include <QtTest>
#include <functional>
#include <stdexcept>

#include "tavrep/TavException.h"
#include "tavui/TavApplication.h"

namespace {

class CCountedException : public CTavException {
public:
    CCountedException() : CTavException(TAVEX_READ_BLOCK, 0, "ReadBlock") { ++live; }
    ~CCountedException() override { --live; }
    static inline int live = 0;
};

class CThrowingReceiver : public QObject {
public:
    std::function<void()> raise;
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) raise();
        return QObject::event(e);
    }
};

}  // namespace

class GuardedHandlerTest : public QObject {
    Q_OBJECT

private slots:
    void eachKindIsOneCountedError_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::newRow("repository exception") << 0 << "ReadBlock: a block could not be read";
        QTest::newRow("standard exception") << 1 << "disk on fire";
        QTest::newRow("anything else") << 2 << "unexpected failure";
    }
    void eachKindIsOneCountedError() {
        QFETCH(int, kind);
        QFETCH(QString, text);
        auto* app = static_cast<tavui::CTavApplication*>(QCoreApplication::instance());
        const uint32_t before = app->ThrownCount();
        CThrowingReceiver receiver;
        receiver.raise = [kind] {
            if (kind == 0) throw static_cast<CTavException*>(new CCountedException);
            if (kind == 1) throw std::runtime_error("disk on fire");
            throw 42;
        };
        QEvent event(QEvent::User);
        QVERIFY(!QCoreApplication::sendEvent(&receiver, &event));
        QCOMPARE(app->ThrownCount(), before + 1);
        QVERIFY(QString::fromStdString(app->LastThrown()).startsWith(text));
        QCOMPARE(CCountedException::live, 0);
    }
};

int main(int argc, char** argv) {
    tavui::CTavApplication app(argc, argv);
    GuardedHandlerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "GuardedHandlerTest.moc"
