#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace Norvane::LocalBackend {

// One payment order: a plan bought by an account, whose status follows its script, one word
// per status query (the last word repeats).
struct PaymentOrder
{
    int id = 0;
    QString orderNumber;
    int accountId = 0;
    int planId = 0;
    QString planName;
    int planDays = 0;
    double amount = 0;
    QString currency;
    QString paymentMethod;
    QString provider;
    QString status = QStringLiteral("pending");
    QStringList script;
    QString thirdPartyOrderId;
    QDateTime createdAt;
    QDateTime paidAt;
    QDateTime updatedAt;

    // "completed", "cancelled" and "refunded" end an order.
    bool hasEnded() const;
    static bool isEndWord(const QString &status);

    // The payment status reply's "data".
    QJsonObject statusJson() const;
    // One entry of the order history.
    QJsonObject historyJson() const;
};

} // namespace Norvane::LocalBackend
