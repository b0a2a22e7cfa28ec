#pragma once

#include <QJsonObject>

namespace Norvane::Api::Models {

// The back end's online figures from the heartbeat statistics endpoint.
struct HeartbeatStats
{
    int onlineUsers = 0;
    int onlineDevices = 0;

    static HeartbeatStats fromJson(const QJsonObject &json);
};

} // namespace Norvane::Api::Models
