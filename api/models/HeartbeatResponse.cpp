#include "api/models/HeartbeatResponse.h"

#include <QJsonValue>

namespace Norvane::Api::Models {

namespace {

// A group is read only when it is an object; anything else leaves its defaults.
bool groupOf(const QJsonObject &parent, const QString &key, QJsonObject *group)
{
    const QJsonValue value = parent.value(key);
    if (!value.isObject())
        return false;
    *group = value.toObject();
    return true;
}

} // namespace

HeartbeatResponse HeartbeatResponse::fromJson(const QJsonObject &json)
{
    HeartbeatResponse response;
    response.success = json.value(QStringLiteral("success")).toBool(response.success);

    QJsonObject data;
    if (!groupOf(json, QStringLiteral("data"), &data))
        return response;
    response.interval = data.value(QStringLiteral("interval")).toInt(response.interval);

    QJsonObject group;
    if (groupOf(data, QStringLiteral("server_status"), &group)) {
        ServerStatus &server = response.serverStatus;
        server.status = group.value(QStringLiteral("status")).toString();
        server.currentUsers = group.value(QStringLiteral("current_users")).toInt(server.currentUsers);
        server.maxUsers = group.value(QStringLiteral("max_users")).toInt(server.maxUsers);
        server.cpuUsage = group.value(QStringLiteral("cpu_usage")).toDouble(server.cpuUsage);
    }

    if (groupOf(data, QStringLiteral("user_status"), &group)) {
        UserStatus &user = response.userStatus;
        user.isVip = group.value(QStringLiteral("is_vip")).toBool(user.isVip);
        user.vipExpiresAt = group.value(QStringLiteral("vip_expires_at")).toString();
        user.totalTrafficGb = group.value(QStringLiteral("total_traffic_gb")).toDouble(user.totalTrafficGb);
        user.todayTrafficGb = group.value(QStringLiteral("today_traffic_gb")).toDouble(user.todayTrafficGb);
        user.trialUsed = group.value(QStringLiteral("trial_used")).toBool(user.trialUsed);
        user.trialExpiresAt = group.value(QStringLiteral("trial_expires_at")).toString();
        user.trialHoursRemaining =
            group.value(QStringLiteral("trial_hours_remaining")).toDouble(user.trialHoursRemaining);
    }

    if (groupOf(data, QStringLiteral("device_status"), &group)) {
        DeviceStatus &device = response.deviceStatus;
        device.status = group.value(QStringLiteral("status")).toString();
        device.forceDisconnect = group.value(QStringLiteral("force_disconnect")).toBool(device.forceDisconnect);
        device.message = group.value(QStringLiteral("message")).toString();
    }
    return response;
}

} // namespace Norvane::Api::Models
