// CWindowBeacon: lets other programs of the suite find a window by its title and bring it
// to the front (the editor does so with the browser's "TvrBrowser - %s" window).
#pragma once
#include <QObject>
#include <memory>
#include <string>

class QSocketNotifier;
class QWidget;
namespace plat {
class CChannelServer;
}

namespace tavui {

// Message types between windows.
constexpr uint32_t WINDOW_BRING_TO_FRONT = 1;

class CWindowBeacon : public QObject {
    Q_OBJECT
public:
    // Listens under the window's title, and under its new title whenever it changes.
    explicit CWindowBeacon(QWidget* window);
    ~CWindowBeacon() override;
    // The title listened under; empty when none (the socket could not be made).
    const std::string& Title() const { return m_title; }

signals:
    void broughtToFront();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Follow();
    void OnReadable();

    QWidget* m_window;
    std::unique_ptr<plat::CChannelServer> m_listener;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::string m_title;
};

// Brings the suite's window titled `title` (in any of our programs) to the front; false
// when no such window is there.
bool BringWindowToFront(const std::string& title);

}  // namespace tavui
