#pragma once

#include <QJsonObject>
#include <QString>

namespace Norvane::Api::Models {

// One VIP plan on sale, as the plan list describes it.
struct SubscriptionPlan
{
    int id = 0;
    QString name;
    QString description;
    int days = 0;
    QString daysText;
    double price = 0.0;
    QString currency;
    QString formattedPrice;
    bool isActive = true;
    int sortOrder = 0;
    QString createdAt;
    QString updatedAt;

    static SubscriptionPlan fromJson(const QJsonObject &json);
};

} // namespace Norvane::Api::Models
