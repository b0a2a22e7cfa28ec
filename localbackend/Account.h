#pragma once

#include "localbackend/JsonShape.h"

#include <QDate>
#include <QDateTime>
#include <QJsonObject>
#include <QString>

namespace Norvane::LocalBackend {

// One account of the back end with what the user record shows of it, plus what only the back end
// knows (the password, how often the trials were taken, today's traffic). VIP flags and trial
// hours change only through activations, payments and the routes object's test methods; they do
// not run down with the clock.
struct Account
{
    int id = 0;
    QString email;
    QString password;
    QString name;
    QString status = QStringLiteral("active");
    bool isVip = false;
    QDateTime vipExpiresAt;
    bool trialUsed = false;
    QDateTime trialExpiresAt;
    int trialHoursTotal = 0;
    double trialHoursUsed = 0;
    double trialHoursRemaining = 0;
    QDateTime createdAt;
    qint64 totalUpload = 0;
    qint64 totalDownload = 0;
    int totalTime = 0; // seconds connected

    int freeTrialCount = 0;
    bool vipTrialUsed = false;
    QDate trafficDay;
    qint64 trafficToday = 0;

    // Empty when the object may describe a seed account (id, e-mail and password required), or
    // a change to an account (the same members but the id, none required).
    static QString seedProblem(const QJsonObject &members);
    static QString changeProblem(const QJsonObject &members);
    static bool isEmailAddress(const QString &text);
    // Takes the members of an object that passed one of the checks above.
    void apply(const QJsonObject &members);

    // The user record as login, registration, "auth/me" and the trial activations carry it.
    QJsonObject toJson() const;

    bool vipActive(const QDateTime &now) const;
    bool trialRunning(const QDateTime &now) const;
    // Whether the account may connect to a server of the tier ("free" or "vip").
    bool mayConnect(const QString &tier, const QDateTime &now) const;
    // VIP from now, or from the running VIP's end, for that many more seconds.
    void extendVip(qint64 seconds, const QDateTime &now);
    void addTraffic(qint64 upload, qint64 download, const QDateTime &now);
    double totalTrafficGb() const;
    double todayTrafficGb(const QDateTime &now) const;
};

} // namespace Norvane::LocalBackend
