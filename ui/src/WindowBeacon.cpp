// Finding our windows across programs.
#include "tavui/WindowBeacon.h"

#include <QEvent>
#include <QSocketNotifier>
#include <QWidget>

#include "platform/WindowChannel.h"

namespace tavui {

CWindowBeacon::CWindowBeacon(QWidget* window)
    : QObject(window), m_window(window), m_listener(std::make_unique<plat::CWindowListener>()) {
    window->installEventFilter(this);
    Follow();
}

CWindowBeacon::~CWindowBeacon() {
    m_notifier.reset();
    m_listener->Close();
}

bool CWindowBeacon::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window && event->type() == QEvent::WindowTitleChange) Follow();
    return QObject::eventFilter(watched, event);
}

void CWindowBeacon::Follow() {
    const std::string title = m_window->windowTitle().toStdString();
    if (title == m_title && m_listener->Handle() >= 0) return;
    m_notifier.reset();
    m_listener->Close();
    m_title.clear();
    if (title.empty() || !m_listener->Listen(title)) return;
    m_title = title;
    m_notifier = std::make_unique<QSocketNotifier>(m_listener->Handle(), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &CWindowBeacon::OnReadable);
}

void CWindowBeacon::OnReadable() {
    plat::WindowMessage message;
    if (!m_listener->Receive(message) || message.type != WINDOW_BRING_TO_FRONT) return;
    if (m_window->isMinimized()) m_window->showNormal();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    emit broughtToFront();
}

bool BringWindowToFront(const std::string& title) {
    plat::WindowMessage message;
    message.type = WINDOW_BRING_TO_FRONT;
    return plat::SendWindowMessage(title, message);
}

}  // namespace tavui
