#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

namespace Norvane::LocalBackend {

// One VIP plan on sale: so many days for a price.
struct Plan
{
    int id = 0;
    QString name;
    QString description;
    int days = 0;
    QString daysText;
    double price = 0;
    QString currency;
    QString formattedPrice;
    bool isActive = true;
    int sortOrder = 0;
    QDateTime createdAt;

    QJsonObject toJson() const;
};

class PlanCatalogue
{
public:
    // Takes the seed's "plans" section; returns what is wrong with it, empty when it is good.
    QString load(const QJsonArray &section, const QDateTime &now);

    // The plans on sale, by sort order, then id.
    QJsonArray activePlans() const;
    // Null for an unknown id.
    const Plan *find(int id) const;

private:
    QList<Plan> m_plans;
};

} // namespace Norvane::LocalBackend
