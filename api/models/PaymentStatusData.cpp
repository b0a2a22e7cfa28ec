#include "api/models/PaymentStatusData.h"

#include <QJsonValue>

namespace Norvane::Api::Models {

PaymentStatusData PaymentStatusData::fromJson(const QJsonObject &json)
{
    PaymentStatusData data;
    data.orderId = json.value(QStringLiteral("order_id")).toString();
    data.status = json.value(QStringLiteral("status")).toString();
    data.amount = json.value(QStringLiteral("amount")).toDouble(data.amount);
    data.planName = json.value(QStringLiteral("plan_name")).toString();
    data.planDays = json.value(QStringLiteral("plan_days")).toInt(data.planDays);
    data.paymentMethod = json.value(QStringLiteral("payment_method")).toString();
    data.thirdPartyOrderId = json.value(QStringLiteral("third_party_order_id")).toString();
    data.createdAt = json.value(QStringLiteral("created_at")).toString();
    data.paidAt = json.value(QStringLiteral("paid_at")).toString();
    return data;
}

PaymentStatusResponse PaymentStatusResponse::fromJson(const QJsonObject &json)
{
    PaymentStatusResponse response;
    response.success = json.value(QStringLiteral("success")).toBool(response.success);
    const QJsonValue data = json.value(QStringLiteral("data"));
    if (data.isObject())
        response.data = PaymentStatusData::fromJson(data.toObject());
    return response;
}

} // namespace Norvane::Api::Models
