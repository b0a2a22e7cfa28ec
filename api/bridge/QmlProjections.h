#pragma once

#include "api/models/Announcement.h"
#include "api/models/CreatePaymentData.h"
#include "api/models/HeartbeatStats.h"
#include "api/models/Order.h"
#include "api/models/PaymentStatusData.h"
#include "api/models/Server.h"
#include "api/models/SubscriptionPlan.h"
#include "api/models/SystemConfig.h"
#include "api/models/TrialStatus.h"
#include "api/models/User.h"

#include <QList>
#include <QVariantList>
#include <QVariantMap>

// The back end's records as the camelCase maps QML reads. Dates the record keeps as
// QDateTime reach QML as Date values; dates kept as text stay text.
namespace Norvane::Api::QmlProjections {

// A server's map carries its flag emoji, which the adapter computes (getCountryFlag); the detail
// map is its first eleven keys, without the link and the load figures.
QVariantMap server(const Models::Server &server, const QString &flag);
QVariantMap serverDetail(const Models::Server &server, const QString &flag);
QVariantMap announcement(const Models::Announcement &announcement);
QVariantMap order(const Models::Order &order);
QVariantMap systemConfig(const Models::SystemConfig &config);
QVariantMap freeTrialUser(const Models::User &user);
QVariantMap vipTrialUser(const Models::User &user);
QVariantMap trialStatus(const Models::TrialStatus &status);
QVariantMap plan(const Models::SubscriptionPlan &plan);
QVariantMap paymentOrder(const Models::CreatePaymentData &data);
QVariantMap paymentStatus(const Models::PaymentStatusData &data);
QVariantMap pollingStatus(const Models::PaymentStatusData &data);
QVariantMap heartbeatStats(const Models::HeartbeatStats &stats);

// The records' maps in the service's order.
template<typename Record>
QVariantList list(const QList<Record> &records, QVariantMap (*project)(const Record &))
{
    QVariantList maps;
    for (const Record &record : records)
        maps.append(project(record));
    return maps;
}

} // namespace Norvane::Api::QmlProjections
