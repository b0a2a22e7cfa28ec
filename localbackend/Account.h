#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>

namespace Norvane::LocalBackend {

// One account of the service with its VIP and trial standing. Times are UTC.
struct Account
{
    int id = 0;
    QString email;          // lower case
    QString password;
    QString name;
    QString status = QStringLiteral("active"); // "active", "suspended" or "banned"
    bool isVip = false;
    QDateTime vipExpiresAt;
    bool trialUsed = false;
    QDateTime trialExpiresAt;
    int trialHoursTotal = 0;
    double trialHoursUsed = 0;
    int freeTrialCount = 0;
    bool vipTrialUsed = false;
    QDateTime createdAt;

    bool isVipActive(const QDateTime &now) const;
    bool isTrialRunning(const QDateTime &now) const;
    double trialHoursRemaining(const QDateTime &now) const;
    // What the client's right-to-connect rule asks of the account.
    bool mayConnect(const QDateTime &now) const;
    // Extends an active VIP by the time, or starts one now.
    void grantVip(const QDateTime &now, qint64 seconds);

    // The user record of the login, registration, current-user and trial replies.
    QJsonObject toJson(const QDateTime &now) const;
};

} // namespace Norvane::LocalBackend
