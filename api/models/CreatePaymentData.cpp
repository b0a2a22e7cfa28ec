#include "api/models/CreatePaymentData.h"

#include <QJsonValue>

namespace Norvane::Api::Models {

CreatePaymentData CreatePaymentData::fromJson(const QJsonObject &json)
{
    CreatePaymentData data;
    data.orderId = json.value(QStringLiteral("order_id")).toString();
    data.paymentUrl = json.value(QStringLiteral("payment_url")).toString();
    data.amount = json.value(QStringLiteral("amount")).toDouble(data.amount);
    data.planName = json.value(QStringLiteral("plan_name")).toString();
    data.planDays = json.value(QStringLiteral("plan_days")).toInt(data.planDays);
    return data;
}

QJsonObject CreatePaymentRequest::toJson() const
{
    return QJsonObject{{QStringLiteral("plan_id"), planId},
                       {QStringLiteral("payment_method"), paymentMethod},
                       {QStringLiteral("payment_provider"), paymentProvider},
                       {QStringLiteral("device_id"), deviceId},
                       {QStringLiteral("equipment"), equipment}};
}

CreatePaymentResponse CreatePaymentResponse::fromJson(const QJsonObject &json)
{
    CreatePaymentResponse response;
    response.success = json.value(QStringLiteral("success")).toBool(response.success);
    response.message = json.value(QStringLiteral("message")).toString();
    const QJsonValue data = json.value(QStringLiteral("data"));
    if (data.isObject())
        response.data = CreatePaymentData::fromJson(data.toObject());
    return response;
}

} // namespace Norvane::Api::Models
