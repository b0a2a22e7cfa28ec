#pragma once

#include <QJsonObject>
#include <QString>

namespace Norvane::Api::Models {

// The back end's answer to one heartbeat: its interval, the server's load, the user's standing
// and what it orders this device to do.
struct HeartbeatResponse
{
    static constexpr int kDefaultIntervalSeconds = 30;

    struct ServerStatus
    {
        QString status;
        int currentUsers = 0;
        int maxUsers = 0;
        double cpuUsage = 0.0;
    };

    struct UserStatus
    {
        bool isVip = false;
        QString vipExpiresAt;
        double totalTrafficGb = 0.0;
        double todayTrafficGb = 0.0;
        bool trialUsed = false;
        QString trialExpiresAt;
        double trialHoursRemaining = 0.0;
    };

    struct DeviceStatus
    {
        QString status;
        bool forceDisconnect = false;
        QString message;
    };

    bool success = false;
    int interval = kDefaultIntervalSeconds;
    ServerStatus serverStatus;
    UserStatus userStatus;
    DeviceStatus deviceStatus;

    static HeartbeatResponse fromJson(const QJsonObject &json);
};

} // namespace Norvane::Api::Models
