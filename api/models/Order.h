#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

namespace Norvane::Api::Models {

// One of the user's payment orders; the three times are invalid when absent, null or unparsable.
struct Order
{
    int id = 0;
    QString orderNumber;
    QString planName;
    int planDays = 0;
    double amount = 0.0;
    QString paymentCurrency;
    QString paymentMethod;
    QString paymentMethodText;
    QString providerCode;
    QString providerName;
    QString thirdPartyOrderId;
    QString paymentId;
    QString status;
    QString statusText;
    QDateTime createdAt;
    QDateTime paidAt;
    QDateTime updatedAt;

    static Order fromJson(const QJsonObject &json);
    // Elements that are not objects are skipped (and logged).
    static QList<Order> fromJsonArray(const QJsonArray &array);
};

} // namespace Norvane::Api::Models
