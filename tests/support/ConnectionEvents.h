#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

namespace Norvane::Api::Services {
class VpnConnectionService;
}

// What the connection service emitted while it lives, one text per signal ("state:1",
// "success", "failed:10:TEXT", ...); the figures' signals are counted apart.
class ConnectionEvents
{
public:
    explicit ConnectionEvents(Norvane::Api::Services::VpnConnectionService *service);

    bool waitFor(const QString &text, int timeoutMs = 5000) const;

    QStringList texts;
    QList<int> durations;
    int trafficChanges = 0;
    int latencyChanges = 0;

private:
    QObject m_context;
};
