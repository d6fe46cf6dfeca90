// The tray icon.
#include "HostTray.h"

#include <QMenu>
#include <QSystemTrayIcon>

#include "CmdHostText.h"
#include "HostIcon.h"
#include "HostWindow.h"

namespace cmdhost {

namespace {

constexpr int BALLOON_MS = 10000;

}  // namespace

CHostTray::CHostTray(CHostWindow& window) : m_window(window), m_menu(std::make_unique<QMenu>()) {
    m_open = m_menu->addAction(QString::fromUtf8(text::TRAY_OPEN));
    m_stop = m_menu->addAction(QString::fromUtf8(text::TRAY_STOP));
    connect(m_open, &QAction::triggered, this, [this] { m_window.OpenFromTray(); });
    connect(m_stop, &QAction::triggered, this, [this] { m_window.AskToStop(); });
    m_icon = new QSystemTrayIcon(HostIcon(), this);
    m_icon->setToolTip(QString::fromUtf8(text::TRAY_TIP));
    m_icon->setContextMenu(m_menu.get());
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick) m_window.OpenFromTray();
    });
}

CHostTray::~CHostTray() { Remove(); }

bool CHostTray::Available() { return QSystemTrayIcon::isSystemTrayAvailable(); }

void CHostTray::Show() { m_icon->show(); }

void CHostTray::Remove() {
    if (m_icon != nullptr) m_icon->hide();
}

void CHostTray::SetRunning(const std::string& title) {
    m_icon->setToolTip(QString::fromUtf8(text::TRAY_TIP) + "\n" + QString::fromStdString(title));
}

void CHostTray::Notify(const std::string& text) {
    m_icon->showMessage(QString::fromUtf8(text::TRAY_TIP), QString::fromStdString(text),
                        QSystemTrayIcon::Warning, BALLOON_MS);
}

}  // namespace cmdhost
