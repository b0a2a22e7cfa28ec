#pragma once

#include <QJsonObject>
#include <QString>

namespace Norvane::Api::Models {

// The account's free-trial and VIP standing as the trial-status endpoint reports it.
struct TrialStatus
{
    struct Trial
    {
        bool enabled = false;
        bool available = false;
        bool used = false;
        QString expiresAt;
        int hoursTotal = 0;
        double hoursUsed = 0.0;
        double hoursRemaining = 0.0;
    };

    struct Vip
    {
        bool enabled = false;
        bool isVip = false;
        QString expiresAt;
        int daysRemaining = 0;
    };

    Trial trial;
    Vip vip;
    QString accountStatus;

    static TrialStatus fromJson(const QJsonObject &data);
};

} // namespace Norvane::Api::Models
