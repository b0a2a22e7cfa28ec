#pragma once

#include <QJsonObject>
#include <QString>

namespace Norvane::Api::Models {

// The state of one payment order. Status words polling acts on: "completed", "cancelled",
// "refunded"; any other word is kept as it came.
struct PaymentStatusData
{
    QString orderId;
    QString status;
    double amount = 0.0;
    QString planName;
    int planDays = 0;
    QString paymentMethod;
    QString thirdPartyOrderId;
    QString createdAt;
    QString paidAt;

    static PaymentStatusData fromJson(const QJsonObject &json);
};

// The whole reply to a payment-status query.
struct PaymentStatusResponse
{
    bool success = false;
    PaymentStatusData data;

    static PaymentStatusResponse fromJson(const QJsonObject &json);
};

} // namespace Norvane::Api::Models
