#include "localbackend/Account.h"

#include "localbackend/Envelope.h"

#include <QJsonValue>

#include <algorithm>

namespace Norvane::LocalBackend {

bool Account::isVipActive(const QDateTime &now) const
{
    return isVip && vipExpiresAt.isValid() && vipExpiresAt > now;
}

bool Account::isTrialRunning(const QDateTime &now) const
{
    return trialUsed && trialExpiresAt.isValid() && trialExpiresAt > now
        && trialHoursRemaining(now) > 0;
}

double Account::trialHoursRemaining(const QDateTime &now) const
{
    if (!trialUsed || !trialExpiresAt.isValid() || trialExpiresAt <= now)
        return 0;
    return std::max(0.0, trialHoursTotal - trialHoursUsed);
}

bool Account::mayConnect(const QDateTime &now) const
{
    return status == QLatin1String("active") && (isVipActive(now) || isTrialRunning(now));
}

void Account::grantVip(const QDateTime &now, qint64 seconds)
{
    const QDateTime from = isVipActive(now) ? vipExpiresAt : now;
    isVip = true;
    vipExpiresAt = from.addSecs(seconds);
}

QJsonObject Account::toJson(const QDateTime &now) const
{
    return QJsonObject{
        {"id", id},
        {"email", email},
        {"name", name},
        {"status", status},
        {"is_vip", isVip},
        {"vip_expires_at", Envelope::dateTime(vipExpiresAt)},
        {"trial_used", trialUsed},
        {"trial_expires_at", Envelope::dateTime(trialExpiresAt)},
        {"trial_hours_total", trialHoursTotal},
        {"trial_hours_used", trialHoursUsed},
        {"trial_hours_remaining", trialHoursRemaining(now)},
        {"created_at", Envelope::dateTime(createdAt)},
    };
}

} // namespace Norvane::LocalBackend
