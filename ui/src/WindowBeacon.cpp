// Finding our windows across programs.
#include "tavui/WindowBeacon.h"

#include <QEvent>
#include <QSocketNotifier>
#include <QWidget>

#include "platform/WindowChannel.h"

namespace tavui {

CWindowBeacon::CWindowBeacon(QWidget* window)
    : QObject(window), m_window(window), m_listener(std::make_unique<plat::CChannelServer>()) {
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
    if (title == m_title && m_listener->IsOpen()) return;
    m_notifier.reset();
    m_listener->Close();
    m_title.clear();
    if (title.empty() || !m_listener->Open(title)) return;
    m_title = title;
    m_notifier = std::make_unique<QSocketNotifier>(m_listener->Handle(), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &CWindowBeacon::OnReadable);
}

void CWindowBeacon::OnReadable() {
    // A sender writes its message right after connecting: a short wait takes it whole.
    // Every request that has arrived is taken (the listening socket signals only new ones).
    int fronts = 0;
    const auto handler = [&fronts](const plat::ChannelMessage& message) -> std::optional<plat::ChannelMessage> {
        if (message.type == WINDOW_BRING_TO_FRONT) ++fronts;
        return std::nullopt;
    };
    while (m_listener->Serve(100, handler) > 0) {
    }
    for (int i = 0; i < fronts; ++i) {
        if (m_window->isMinimized()) m_window->showNormal();
        m_window->show();
        m_window->raise();
        m_window->activateWindow();
        emit broughtToFront();
    }
}

bool BringWindowToFront(const std::string& title) {
    plat::ChannelMessage message;
    message.type = WINDOW_BRING_TO_FRONT;
    bool reached = false;
    for (const plat::ChannelAddress& address : plat::FindChannels(title)) {
        plat::ChannelMessage answer;
        // The window answers nothing: the request is done when it closes the connection.
        if (plat::ChannelRequest(address, message, answer, 200) != plat::ChannelResult::NotReached) reached = true;
    }
    return reached;
}

}  // namespace tavui
