// The editor's view of command-host runs: finds hosts by their window titles and follows a
// backup by polling its records once a second (the host answers between items; a gentle
// poll keeps a host running at idle priority from being woken more than it must).
#pragma once
#include <QObject>
#include <QTimer>
#include <memory>

#include "HostRunSource.h"

namespace tavhost {
class CHostRunFollower;
}

class CHostRunLink : public QObject, public IHostRunSource {
    Q_OBJECT
public:
    static constexpr int POLL_MS = 1000;

    explicit CHostRunLink(QObject* parent = nullptr);
    ~CHostRunLink() override;

    bool IsRestoring(const std::string& imagePathText) override;
    bool IsBackingUp(const std::string& imagePathText) override;
    bool Follow(const std::string& imagePathText, IHostRunSink& sink) override;
    void Unfollow() override;

private:
    void Poll();

    QTimer m_timer;
    std::unique_ptr<tavhost::CHostRunFollower> m_follower;
    IHostRunSink* m_sink = nullptr;
};
