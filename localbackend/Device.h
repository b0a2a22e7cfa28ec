#pragma once

#include <QDateTime>
#include <QString>

namespace Norvane::LocalBackend {

// A client installation as the back end knows it from logins and heartbeats.
struct Device
{
    QString id;
    QString name;
    QString type;
    int accountId = 0;

    // What heartbeat replies tell the device; tests change these through the routes object.
    QString status = QStringLiteral("active");
    bool forceDisconnect = false;
    QString message;

    // The last heartbeat: its connection status and the connection's running totals.
    QString connectionStatus = QStringLiteral("disconnected");
    qint64 uploadBytes = 0;
    qint64 downloadBytes = 0;
    QDateTime lastBeatAt;
};

} // namespace Norvane::LocalBackend
