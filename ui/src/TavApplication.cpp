// CTavApplication: exceptions of the windows' handlers end as logged, counted errors.
#include "tavui/TavApplication.h"

#include <cstdio>

#include "tavrep/TavException.h"

namespace tavui {

CTavApplication::CTavApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool CTavApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ++m_thrown;
        try {
            m_lastThrown = TakeCurrentException();
            std::fprintf(stderr, "%s: a window's handler failed: %s\n",
                         applicationName().toLocal8Bit().constData(), m_lastThrown.c_str());
        } catch (...) {
            // Out of memory while reporting: the error stays counted.
        }
        return false;
    }
}

}  // namespace tavui
