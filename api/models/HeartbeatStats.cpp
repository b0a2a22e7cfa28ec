#include "api/models/HeartbeatStats.h"

#include <QJsonValue>

namespace Norvane::Api::Models {

HeartbeatStats HeartbeatStats::fromJson(const QJsonObject &json)
{
    HeartbeatStats stats;
    const QJsonValue data = json.value(QStringLiteral("data"));
    if (!data.isObject())
        return stats;
    const QJsonObject object = data.toObject();
    stats.onlineUsers = object.value(QStringLiteral("online_users")).toInt(stats.onlineUsers);
    stats.onlineDevices = object.value(QStringLiteral("online_devices")).toInt(stats.onlineDevices);
    return stats;
}

} // namespace Norvane::Api::Models
