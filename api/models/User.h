#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>

namespace Norvane::Api::Models {

// The signed-in account as the back end describes it. A default record (id 0,
// no e-mail) stands for "no user".
struct User
{
    // Traffic totals the back end keeps for the account.
    struct Stats
    {
        qint64 totalUpload = 0;
        qint64 totalDownload = 0;
        int totalTime = 0;
    };

    int id = 0;
    QString email;
    QString name;
    QString status;
    bool isVip = false;
    QDateTime vipExpiresAt;
    bool trialUsed = false;
    QDateTime trialExpiresAt;
    int trialHoursTotal = 0;
    double trialHoursUsed = 0.0;
    double trialHoursRemaining = 0.0;
    QDateTime createdAt;
    Stats stats;

    static User fromJson(const QJsonObject &json);
    QJsonObject toJson() const;

    bool isVipActive() const;
};

} // namespace Norvane::Api::Models
