#pragma once

#include <QDateTime>
#include <QString>

namespace Norvane::LocalBackend {

// One accepted heartbeat, as the back end recorded it.
struct HeartbeatRecord
{
    int accountId = 0;
    QString deviceId;
    QString connectionStatus;
    qint64 uploadBytes = 0;
    qint64 downloadBytes = 0;
    int latencyMs = 0;
    QDateTime receivedAt;
};

} // namespace Norvane::LocalBackend
