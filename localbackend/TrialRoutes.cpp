#include "localbackend/TrialRoutes.h"

#include "localbackend/Envelope.h"

#include <QJsonValue>

#include <cmath>

namespace Norvane::LocalBackend {

TrialRoutes::TrialRoutes(LocalBackendServer &server, AccountStore &accounts, const ConfigItems &configs)
    : m_accounts(accounts), m_configs(configs)
{
    server.route("GET", "/api/v1/trial/status", [this](const RecordedRequest &r) { return status(r); });
    server.route("POST", "/api/v1/trial/activate-free", [this](const RecordedRequest &r) { return activateFree(r); });
    server.route("POST", "/api/v1/trial/activate-vip", [this](const RecordedRequest &r) { return activateVip(r); });
}

Reply TrialRoutes::status(const RecordedRequest &request)
{
    const Account *account = m_accounts.authenticated(request);
    if (!account)
        return Envelope::unauthorized();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const bool vipActive = account->isVipActive(now);
    const int vipDays = vipActive ? int(std::ceil(now.secsTo(account->vipExpiresAt) / 86400.0)) : 0;
    const QJsonObject data{
        {"trial", QJsonObject{{"enabled", m_configs.boolValue("free_trial_enabled")},
                              {"available", freeTrialAvailable(*account, now)},
                              {"used", account->trialUsed},
                              {"expires_at", Envelope::dateTime(account->trialExpiresAt)},
                              {"hours_total", account->trialHoursTotal},
                              {"hours_used", account->trialHoursUsed},
                              {"hours_remaining", account->trialHoursRemaining(now)}}},
        {"vip", QJsonObject{{"enabled", m_configs.boolValue("vip_trial_enabled")},
                            {"is_vip", vipActive},
                            {"expires_at", Envelope::dateTime(account->vipExpiresAt)},
                            {"days_remaining", vipDays}}},
        {"account_status", account->status}};
    return Envelope::ok(QStringLiteral("获取成功"), data);
}

Reply TrialRoutes::activateFree(const RecordedRequest &request)
{
    Account *account = m_accounts.authenticated(request);
    if (!account)
        return Envelope::unauthorized();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const int hours = m_configs.intValue("free_trial_duration");
    if (account->status != u"active")
        return Envelope::failure(403, QStringLiteral("账号状态异常，无法激活体验"));
    if (!m_configs.boolValue("free_trial_enabled"))
        return Envelope::failure(403, QStringLiteral("免费体验未开放"));
    if (account->isVipActive(now))
        return Envelope::failure(409, QStringLiteral("VIP用户无需激活免费体验"));
    if (account->isTrialRunning(now))
        return Envelope::failure(409, QStringLiteral("免费体验进行中"));
    if (account->freeTrialCount >= m_configs.intValue("free_trial_max_count"))
        return Envelope::failure(409, QStringLiteral("免费体验次数已用完"));
    if (hours <= 0)
        return Envelope::failure(503, QStringLiteral("免费体验时长配置无效"));

    account->trialUsed = true;
    account->trialHoursTotal = hours;
    account->trialHoursUsed = 0;
    account->trialExpiresAt = now.addSecs(qint64(hours) * 3600);
    ++account->freeTrialCount;
    return Envelope::ok(QStringLiteral("免费体验激活成功"), account->toJson(now));
}

Reply TrialRoutes::activateVip(const RecordedRequest &request)
{
    Account *account = m_accounts.authenticated(request);
    if (!account)
        return Envelope::unauthorized();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const int hours = m_configs.intValue("vip_trial_duration");
    if (account->status != u"active")
        return Envelope::failure(403, QStringLiteral("账号状态异常，无法激活体验"));
    if (!m_configs.boolValue("vip_trial_enabled"))
        return Envelope::failure(403, QStringLiteral("VIP体验未开放"));
    if (account->vipTrialUsed)
        return Envelope::failure(409, QStringLiteral("VIP体验已使用"));
    if (account->isVipActive(now))
        return Envelope::failure(409, QStringLiteral("您已是VIP用户"));
    if (hours <= 0)
        return Envelope::failure(503, QStringLiteral("VIP体验时长配置无效"));

    account->grantVip(now, qint64(hours) * 3600);
    account->vipTrialUsed = true;
    return Envelope::ok(QStringLiteral("VIP体验激活成功"), account->toJson(now));
}

bool TrialRoutes::freeTrialAvailable(const Account &account, const QDateTime &now) const
{
    return m_configs.boolValue("free_trial_enabled") && account.status == u"active"
        && !account.isVipActive(now) && !account.isTrialRunning(now)
        && account.freeTrialCount < m_configs.intValue("free_trial_max_count")
        && m_configs.intValue("free_trial_duration") > 0;
}

} // namespace Norvane::LocalBackend
