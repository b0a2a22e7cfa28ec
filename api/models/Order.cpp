#include "api/models/Order.h"

#include <QDebug>
#include <QJsonValue>

namespace Norvane::Api::Models {

namespace {

// Null, absent, non-text and unparsable values all mean "no date".
QDateTime dateTimeFrom(const QJsonValue &value)
{
    return value.isString() ? QDateTime::fromString(value.toString(), Qt::ISODate) : QDateTime();
}

} // namespace

Order Order::fromJson(const QJsonObject &json)
{
    // Each member keeps its default when the key is missing or holds another JSON type.
    Order order;
    order.id = json.value(QStringLiteral("id")).toInt(order.id);
    order.orderNumber = json.value(QStringLiteral("order_number")).toString();
    order.planName = json.value(QStringLiteral("plan_name")).toString();
    order.planDays = json.value(QStringLiteral("plan_days")).toInt(order.planDays);
    order.amount = json.value(QStringLiteral("amount")).toDouble(order.amount);
    order.paymentCurrency = json.value(QStringLiteral("payment_currency")).toString();
    order.paymentMethod = json.value(QStringLiteral("payment_method")).toString();
    order.paymentMethodText = json.value(QStringLiteral("payment_method_text")).toString();
    order.providerCode = json.value(QStringLiteral("provider_code")).toString();
    order.providerName = json.value(QStringLiteral("provider_name")).toString();
    order.thirdPartyOrderId = json.value(QStringLiteral("third_party_order_id")).toString();
    order.paymentId = json.value(QStringLiteral("payment_id")).toString();
    order.status = json.value(QStringLiteral("status")).toString();
    order.statusText = json.value(QStringLiteral("status_text")).toString();
    order.createdAt = dateTimeFrom(json.value(QStringLiteral("created_at")));
    order.paidAt = dateTimeFrom(json.value(QStringLiteral("paid_at")));
    order.updatedAt = dateTimeFrom(json.value(QStringLiteral("updated_at")));
    return order;
}

QList<Order> Order::fromJsonArray(const QJsonArray &array)
{
    QList<Order> orders;
    for (qsizetype index = 0; index < array.size(); ++index) {
        const QJsonValue element = array.at(index);
        if (!element.isObject()) {
            qWarning() << "[Order] 忽略不是对象的订单数据, 位置:" << index;
            continue;
        }
        orders.append(fromJson(element.toObject()));
    }
    return orders;
}

} // namespace Norvane::Api::Models
