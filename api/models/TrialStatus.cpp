#include "api/models/TrialStatus.h"

#include <QJsonValue>

namespace Norvane::Api::Models {

TrialStatus TrialStatus::fromJson(const QJsonObject &data)
{
    TrialStatus status;

    const QJsonValue trial = data.value(QStringLiteral("trial"));
    if (trial.isObject()) {
        const QJsonObject object = trial.toObject();
        status.trial.enabled = object.value(QStringLiteral("enabled")).toBool();
        status.trial.available = object.value(QStringLiteral("available")).toBool();
        status.trial.used = object.value(QStringLiteral("used")).toBool();
        status.trial.expiresAt = object.value(QStringLiteral("expires_at")).toString();
        status.trial.hoursTotal = object.value(QStringLiteral("hours_total")).toInt();
        status.trial.hoursUsed = object.value(QStringLiteral("hours_used")).toDouble();
        status.trial.hoursRemaining = object.value(QStringLiteral("hours_remaining")).toDouble();
    }

    const QJsonValue vip = data.value(QStringLiteral("vip"));
    if (vip.isObject()) {
        const QJsonObject object = vip.toObject();
        status.vip.enabled = object.value(QStringLiteral("enabled")).toBool();
        status.vip.isVip = object.value(QStringLiteral("is_vip")).toBool();
        status.vip.expiresAt = object.value(QStringLiteral("expires_at")).toString();
        status.vip.daysRemaining = object.value(QStringLiteral("days_remaining")).toInt();
    }

    status.accountStatus = data.value(QStringLiteral("account_status")).toString();
    return status;
}

} // namespace Norvane::Api::Models
