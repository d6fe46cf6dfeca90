// CTavApplication: the application object of the suite's GUI programs. What a window's
// handler (a slot, an event handler) throws ends here instead of running into Qt, which
// cannot pass exceptions on: it becomes one logged, counted error, and the program goes on.
#pragma once
#include <QApplication>
#include <cstdint>
#include <string>

namespace tavui {

class CTavApplication : public QApplication {
public:
    CTavApplication(int& argc, char** argv);

    // Delivers the event; an exception thrown while it is handled is turned into a message
    // (TakeCurrentException: a thrown CTavException* is released), written to the standard
    // error as "<program>: a window's handler failed: <message>", counted, and the event
    // reported as not handled.
    bool notify(QObject* receiver, QEvent* event) override;

    uint32_t ThrownCount() const { return m_thrown; }
    const std::string& LastThrown() const { return m_lastThrown; }

private:
    uint32_t m_thrown = 0;
    std::string m_lastThrown;
};

}  // namespace tavui
