#include "localbackend/PlanCatalogue.h"

#include "localbackend/SeedEntry.h"

#include <algorithm>

namespace Norvane::LocalBackend {

QJsonObject Plan::toJson() const
{
    const QString created = createdAt.toString(Qt::ISODate);
    return QJsonObject{{"id", id},
                       {"name", name},
                       {"description", description},
                       {"days", days},
                       {"days_text", daysText},
                       {"price", price},
                       {"currency", currency},
                       {"formatted_price", formattedPrice},
                       {"is_active", isActive},
                       {"sort_order", sortOrder},
                       {"created_at", created},
                       {"updated_at", created}};
}

QString PlanCatalogue::load(const QJsonArray &section, const QDateTime &now)
{
    QList<Plan> plans;
    for (qsizetype i = 0; i < section.size(); ++i) {
        SeedEntry entry(section.at(i), QStringLiteral("plans[%1]").arg(i));
        entry.allowOnly({"id", "name", "description", "days", "days_text", "price", "currency",
                         "formatted_price", "is_active", "sort_order"});
        Plan plan;
        plan.id = entry.requiredId("id");
        plan.name = entry.requiredText("name");
        plan.description = entry.optionalText("description");
        plan.days = entry.requiredId("days");
        plan.daysText = entry.optionalText("days_text");
        plan.price = entry.requiredNumber("price");
        plan.currency = entry.optionalText("currency", QStringLiteral("CNY"));
        plan.formattedPrice = entry.optionalText("formatted_price");
        plan.isActive = entry.optionalBool("is_active", true);
        plan.sortOrder = entry.optionalInt("sort_order", 0);
        entry.require(plan.price >= 0, QStringLiteral("\"price\" is below 0"));
        const bool duplicate = std::any_of(plans.cbegin(), plans.cend(),
                                           [&](const Plan &other) { return other.id == plan.id; });
        entry.require(!duplicate, QStringLiteral("id %1 appears twice").arg(plan.id));
        if (!entry.problem().isEmpty())
            return entry.problem();
        plan.createdAt = now;
        plans.append(plan);
    }
    m_plans = plans;
    return {};
}

QJsonArray PlanCatalogue::activePlans() const
{
    QList<Plan> active;
    std::copy_if(m_plans.cbegin(), m_plans.cend(), std::back_inserter(active),
                 [](const Plan &plan) { return plan.isActive; });
    std::stable_sort(active.begin(), active.end(), [](const Plan &a, const Plan &b) {
        return a.sortOrder != b.sortOrder ? a.sortOrder < b.sortOrder : a.id < b.id;
    });
    QJsonArray list;
    for (const Plan &plan : active)
        list.append(plan.toJson());
    return list;
}

const Plan *PlanCatalogue::find(int id) const
{
    for (const Plan &plan : m_plans) {
        if (plan.id == id)
            return &plan;
    }
    return nullptr;
}

} // namespace Norvane::LocalBackend
