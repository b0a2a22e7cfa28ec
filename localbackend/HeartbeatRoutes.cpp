#include "localbackend/HeartbeatRoutes.h"

#include "localbackend/Envelope.h"
#include "localbackend/RequestFields.h"

#include <QHash>
#include <QJsonValue>
#include <QSet>

namespace Norvane::LocalBackend {

namespace {

// The latest heartbeat of each device that says "connected".
QList<HeartbeatRecord> connectedDevices(const QList<HeartbeatRecord> &records)
{
    QHash<QString, HeartbeatRecord> latest;
    for (const HeartbeatRecord &record : records)
        latest.insert(record.deviceId, record);
    QList<HeartbeatRecord> connected;
    for (const HeartbeatRecord &record : std::as_const(latest)) {
        if (record.connectionStatus == u"connected")
            connected.append(record);
    }
    return connected;
}

} // namespace

HeartbeatRoutes::HeartbeatRoutes(LocalBackendServer &server, AccountStore &accounts) : m_accounts(accounts)
{
    server.route("POST", "/api/v1/heartbeat", [this](const RecordedRequest &r) { return heartbeat(r); });
    server.route("GET", "/api/v1/heartbeat/stats", [this](const RecordedRequest &r) { return stats(r); });
}

QString HeartbeatRoutes::setIntervalSeconds(int seconds)
{
    if (seconds < 1)
        return QStringLiteral("the heartbeat interval must be at least 1 second, not %1").arg(seconds);
    m_intervalSeconds = seconds;
    return {};
}

void HeartbeatRoutes::reset()
{
    m_records.clear();
    m_device = DeviceStatus();
    m_intervalSeconds = kDefaultIntervalSeconds;
}

Reply HeartbeatRoutes::heartbeat(const RecordedRequest &request)
{
    const Account *account = m_accounts.authenticated(request);
    if (!account)
        return Envelope::unauthorized();
    QJsonObject body;
    if (!Envelope::bodyOf(request, &body))
        return Envelope::badBody();

    QJsonObject errors;
    HeartbeatRecord record;
    record.accountId = account->id;
    record.deviceId = RequestFields::text(body, "device_id").value_or(QString());
    if (record.deviceId.isEmpty())
        Envelope::addError(&errors, "device_id", QStringLiteral("设备ID不能为空"));
    else if (record.deviceId.size() > kMaxDeviceIdLength)
        Envelope::addError(&errors, "device_id", QStringLiteral("设备ID过长"));
    record.connectionStatus = body.value("connection_status").toString();
    if (record.connectionStatus != u"connected" && record.connectionStatus != u"disconnected") {
        Envelope::addError(&errors, "connection_status",
                           QStringLiteral("连接状态只能是 connected 或 disconnected"));
    }
    const auto readCounter = [&](const QString &key, qint64 *target) {
        const std::optional<qint64> value = RequestFields::wholeNumber(body, key);
        if (value && *value >= 0)
            *target = *value;
        else
            Envelope::addError(&errors, key, QStringLiteral("%1 必须是非负整数").arg(key));
    };
    readCounter(QStringLiteral("upload_bytes"), &record.uploadBytes);
    readCounter(QStringLiteral("download_bytes"), &record.downloadBytes);
    readCounter(QStringLiteral("latency_ms"), &record.latencyMs);
    if (!errors.isEmpty())
        return Envelope::invalid(errors);

    const QDateTime now = QDateTime::currentDateTimeUtc();
    record.receivedAt = now;
    if (m_records.size() >= kRecordCapacity)
        m_records.removeFirst();
    m_records.append(record);

    const QJsonObject data{
        {"interval", m_intervalSeconds},
        {"server_status", QJsonObject{{"status", "online"}, {"current_users", onlineDevices()}}},
        {"user_status", QJsonObject{{"is_vip", account->isVipActive(now)},
                                    {"vip_expires_at", Envelope::dateTime(account->vipExpiresAt)},
                                    {"trial_used", account->trialUsed},
                                    {"trial_expires_at", Envelope::dateTime(account->trialExpiresAt)},
                                    {"trial_hours_remaining", account->trialHoursRemaining(now)}}},
        {"device_status", QJsonObject{{"status", m_device.status},
                                      {"force_disconnect", m_device.forceDisconnect},
                                      {"message", m_device.message}}}};
    return Envelope::ok(QStringLiteral("心跳成功"), data);
}

Reply HeartbeatRoutes::stats(const RecordedRequest &request)
{
    if (!m_accounts.authenticated(request))
        return Envelope::unauthorized();
    return Envelope::ok(QStringLiteral("获取成功"),
                        QJsonObject{{"online_users", onlineAccounts()}, {"online_devices", onlineDevices()}});
}

int HeartbeatRoutes::onlineDevices() const
{
    return int(connectedDevices(m_records).size());
}

int HeartbeatRoutes::onlineAccounts() const
{
    QSet<int> accounts;
    for (const HeartbeatRecord &record : connectedDevices(m_records))
        accounts.insert(record.accountId);
    return int(accounts.size());
}

} // namespace Norvane::LocalBackend
