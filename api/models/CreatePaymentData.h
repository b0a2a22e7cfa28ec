#pragma once

#include <QJsonObject>
#include <QString>

namespace Norvane::Api::Models {

// The payment order the back end created: its order number and the address of the image to scan.
struct CreatePaymentData
{
    QString orderId;
    QString paymentUrl;
    double amount = 0.0;
    QString planName;
    int planDays = 0;

    static CreatePaymentData fromJson(const QJsonObject &json);
};

// The body of a payment-order request.
struct CreatePaymentRequest
{
    int planId = 0;
    QString paymentMethod;
    QString paymentProvider = QStringLiteral("ciyun");
    QString deviceId;
    QString equipment = QStringLiteral("Norvane加速器");

    QJsonObject toJson() const;
};

// The whole reply to a payment-order request.
struct CreatePaymentResponse
{
    bool success = false;
    QString message;
    CreatePaymentData data;

    static CreatePaymentResponse fromJson(const QJsonObject &json);
};

} // namespace Norvane::Api::Models
