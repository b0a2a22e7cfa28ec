#include "api/models/SubscriptionPlan.h"

#include <QJsonValue>

namespace Norvane::Api::Models {

SubscriptionPlan SubscriptionPlan::fromJson(const QJsonObject &json)
{
    SubscriptionPlan plan;
    plan.id = json.value(QStringLiteral("id")).toInt(plan.id);
    plan.name = json.value(QStringLiteral("name")).toString();
    plan.description = json.value(QStringLiteral("description")).toString();
    plan.days = json.value(QStringLiteral("days")).toInt(plan.days);
    plan.daysText = json.value(QStringLiteral("days_text")).toString();
    plan.price = json.value(QStringLiteral("price")).toDouble(plan.price);
    plan.currency = json.value(QStringLiteral("currency")).toString();
    plan.formattedPrice = json.value(QStringLiteral("formatted_price")).toString();
    plan.isActive = json.value(QStringLiteral("is_active")).toBool(plan.isActive);
    plan.sortOrder = json.value(QStringLiteral("sort_order")).toInt(plan.sortOrder);
    plan.createdAt = json.value(QStringLiteral("created_at")).toString();
    plan.updatedAt = json.value(QStringLiteral("updated_at")).toString();
    return plan;
}

} // namespace Norvane::Api::Models
