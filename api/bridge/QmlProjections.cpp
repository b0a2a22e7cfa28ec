#include "api/bridge/QmlProjections.h"

namespace Norvane::Api::QmlProjections {

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
