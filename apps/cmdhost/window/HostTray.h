// CHostTray: the command host's icon in the desktop's tray: tip "Tavora" (with the run's
// title), "Open" and "Stop" in its menu, a double click opens the window.
#pragma once
#include <QObject>
#include <memory>
#include <string>

class QMenu;
class QSystemTrayIcon;
class QAction;

namespace cmdhost {

class CHostWindow;

class CHostTray : public QObject {
    Q_OBJECT
public:
    explicit CHostTray(CHostWindow& window);
    ~CHostTray() override;
    // Whether the desktop shows tray icons (Xvfb and many Wayland desktops do not).
    static bool Available();
    void Show();
    void Remove();
    // The tip names the run: "Tavora" and the window's title below it.
    void SetRunning(const std::string& title);
    // A balloon message (a hidden run that failed).
    void Notify(const std::string& text);
    QAction* OpenAction() { return m_open; }
    QAction* StopAction() { return m_stop; }

private:
    CHostWindow& m_window;
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon* m_icon = nullptr;
    QAction* m_open = nullptr;
    QAction* m_stop = nullptr;
};

}  // namespace cmdhost
