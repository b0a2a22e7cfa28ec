#include "api/bridge/QmlProjections.h"

namespace Norvane::Api::QmlProjections {

namespace {

// A name that only repeats the country code, or is too short to tell servers apart, gives way
// to the first of location, code and tier, code and city that is there.
QString displayName(const Models::Server &server)
{
    if (server.name != server.countryCode && server.name.size() > 3)
        return server.name;
    if (!server.location.isEmpty())
        return server.location;
    if (!server.tierText.isEmpty())
        return server.countryCode + QLatin1Char(' ') + server.tierText;
    if (!server.city.isEmpty())
        return server.countryCode + QLatin1Char(' ') + server.city;
    return server.name;
}

} // namespace

QVariantMap serverDetail(const Models::Server &server, const QString &flag)
{
    return {
        {QStringLiteral("id"), server.id},
        {QStringLiteral("name"), displayName(server)},
        {QStringLiteral("countryCode"), server.countryCode},
        {QStringLiteral("city"), server.city},
        {QStringLiteral("location"), server.location},
        {QStringLiteral("tier"), server.tier},
        {QStringLiteral("tierText"), server.tierText},
        {QStringLiteral("requiresVip"), server.requiresVip},
        {QStringLiteral("canConnect"), server.canConnect},
        {QStringLiteral("status"), server.status},
        {QStringLiteral("flag"), flag},
    };
}

QVariantMap server(const Models::Server &server, const QString &flag)
{
    QVariantMap map = serverDetail(server, flag);
    map.insert(QStringLiteral("vmessLink"), server.vmessLink);
    map.insert(QStringLiteral("maxUsers"), server.maxUsers);
    map.insert(QStringLiteral("currentUsers"), server.currentUsers);
    map.insert(QStringLiteral("cpuUsage"), server.cpuUsage);
    map.insert(QStringLiteral("loadPercentage"),
               server.maxUsers > 0 ? double(server.currentUsers) / server.maxUsers * 100.0 : 0.0);
    return map;
}

QVariantMap announcement(const Models::Announcement &announcement)
{
    return {
        {QStringLiteral("id"), announcement.id},
        {QStringLiteral("title"), announcement.title},
        {QStringLiteral("content"), announcement.content},
        {QStringLiteral("type"), announcement.type},
        {QStringLiteral("publishedAt"), announcement.publishedAt},
        {QStringLiteral("createdAt"), announcement.createdAt},
    };
}

QVariantMap order(const Models::Order &order)
{
    return {
        {QStringLiteral("id"), order.id},
        {QStringLiteral("orderNumber"), order.orderNumber},
        {QStringLiteral("planName"), order.planName},
        {QStringLiteral("planDays"), order.planDays},
        {QStringLiteral("amount"), order.amount},
        {QStringLiteral("paymentCurrency"), order.paymentCurrency},
        {QStringLiteral("paymentMethod"), order.paymentMethod},
        {QStringLiteral("paymentMethodText"), order.paymentMethodText},
        {QStringLiteral("status"), order.status},
        {QStringLiteral("statusText"), order.statusText},
        {QStringLiteral("createdAt"), order.createdAt},
        {QStringLiteral("paidAt"), order.paidAt},
    };
}

QVariantMap systemConfig(const Models::SystemConfig &config)
{
    return {
        {QStringLiteral("appName"), config.appName},
        {QStringLiteral("appVersion"), config.appVersion},
        {QStringLiteral("siteName"), config.siteName},
        {QStringLiteral("freeTrialEnabled"), config.freeTrialEnabled},
        {QStringLiteral("vipTrialEnabled"), config.vipTrialEnabled},
        {QStringLiteral("maintenanceMode"), config.maintenanceMode},
        {QStringLiteral("enableRegistration"), config.enableRegistration},
        {QStringLiteral("maxDevices"), config.maxDevices},
    };
}

QVariantMap freeTrialUser(const Models::User &user)
{
    return {
        {QStringLiteral("id"), user.id},
        {QStringLiteral("email"), user.email},
        {QStringLiteral("name"), user.name},
        {QStringLiteral("isVip"), user.isVip},
        {QStringLiteral("trialUsed"), user.trialUsed},
        {QStringLiteral("trialHoursRemaining"), user.trialHoursRemaining},
    };
}

QVariantMap vipTrialUser(const Models::User &user)
{
    return {
        {QStringLiteral("id"), user.id},
        {QStringLiteral("email"), user.email},
        {QStringLiteral("name"), user.name},
        {QStringLiteral("isVip"), user.isVip},
        {QStringLiteral("vipExpiresAt"),
         user.vipExpiresAt.isValid() ? user.vipExpiresAt.toString(Qt::ISODate) : QString()},
    };
}

QVariantMap trialStatus(const Models::TrialStatus &status)
{
    return {
        {QStringLiteral("trialEnabled"), status.trial.enabled},
        {QStringLiteral("trialAvailable"), status.trial.available},
        {QStringLiteral("trialUsed"), status.trial.used},
        {QStringLiteral("trialExpiresAt"), status.trial.expiresAt},
        {QStringLiteral("trialHoursTotal"), status.trial.hoursTotal},
        {QStringLiteral("trialHoursUsed"), status.trial.hoursUsed},
        {QStringLiteral("trialHoursRemaining"), status.trial.hoursRemaining},
        {QStringLiteral("isVip"), status.vip.isVip},
        {QStringLiteral("vipExpiresAt"), status.vip.expiresAt},
        {QStringLiteral("vipDaysRemaining"), status.vip.daysRemaining},
    };
}

QVariantMap plan(const Models::SubscriptionPlan &plan)
{
    return {
        {QStringLiteral("id"), plan.id},
        {QStringLiteral("name"), plan.name},
        {QStringLiteral("days"), plan.days},
        {QStringLiteral("price"), plan.price},
        {QStringLiteral("currency"), plan.currency},
        {QStringLiteral("description"), plan.description},
        {QStringLiteral("formattedPrice"), plan.formattedPrice},
        {QStringLiteral("daysText"), plan.daysText},
        {QStringLiteral("isActive"), plan.isActive},
    };
}

QVariantMap paymentOrder(const Models::CreatePaymentData &data)
{
    return {
        {QStringLiteral("orderId"), data.orderId},
        {QStringLiteral("paymentUrl"), data.paymentUrl},
        {QStringLiteral("amount"), data.amount},
        {QStringLiteral("planName"), data.planName},
        {QStringLiteral("planDays"), data.planDays},
    };
}

QVariantMap paymentStatus(const Models::PaymentStatusData &data)
{
    QVariantMap map = pollingStatus(data);
    map.insert(QStringLiteral("planDays"), data.planDays);
    map.insert(QStringLiteral("paymentMethod"), data.paymentMethod);
    return map;
}

QVariantMap pollingStatus(const Models::PaymentStatusData &data)
{
    return {
        {QStringLiteral("orderId"), data.orderId},
        {QStringLiteral("status"), data.status},
        {QStringLiteral("amount"), data.amount},
        {QStringLiteral("planName"), data.planName},
        {QStringLiteral("paidAt"), data.paidAt},
    };
}

QVariantMap heartbeatStats(const Models::HeartbeatStats &stats)
{
    return {
        {QStringLiteral("onlineUsers"), stats.onlineUsers},
        {QStringLiteral("onlineDevices"), stats.onlineDevices},
    };
}

} // namespace Norvane::Api::QmlProjections
