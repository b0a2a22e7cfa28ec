#pragma once

#include "localbackend/AccountStore.h"
#include "localbackend/LocalBackendServer.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace Norvane::LocalBackend {

// One heartbeat as the back end took it.
struct HeartbeatRecord
{
    int accountId = 0;
    QString deviceId;
    QString connectionStatus;
    qint64 uploadBytes = 0;
    qint64 downloadBytes = 0;
    qint64 latencyMs = 0;
    QDateTime receivedAt;
};

// The order for the device that every heartbeat reply carries.
struct DeviceStatus
{
    QString status = QStringLiteral("active");
    bool forceDisconnect = false;
    QString message;
};

// heartbeat and heartbeat/stats.
class HeartbeatRoutes
{
public:
    static constexpr int kDefaultIntervalSeconds = 30;
    // Only the latest heartbeats are kept, as in the server's request log.
    static constexpr int kRecordCapacity = LocalBackendServer::kRequestLogCapacity;
    static constexpr qsizetype kMaxDeviceIdLength = 255;

    HeartbeatRoutes(LocalBackendServer &server, AccountStore &accounts);
    HeartbeatRoutes(const HeartbeatRoutes &) = delete;
    HeartbeatRoutes &operator=(const HeartbeatRoutes &) = delete;

    QList<HeartbeatRecord> records() const { return m_records; }
    DeviceStatus deviceStatus() const { return m_device; }
    void setDeviceStatus(const DeviceStatus &status) { m_device = status; }
    int intervalSeconds() const { return m_intervalSeconds; }
    // Returns what is wrong, empty on success.
    QString setIntervalSeconds(int seconds);
    // Forgets the heartbeats and goes back to an active device and the default interval.
    void reset();

private:
    Reply heartbeat(const RecordedRequest &request);
    Reply stats(const RecordedRequest &request);
    // Devices whose latest heartbeat says "connected", and their accounts.
    int onlineDevices() const;
    int onlineAccounts() const;

    AccountStore &m_accounts;
    QList<HeartbeatRecord> m_records;
    DeviceStatus m_device;
    int m_intervalSeconds = kDefaultIntervalSeconds;
};

} // namespace Norvane::LocalBackend
