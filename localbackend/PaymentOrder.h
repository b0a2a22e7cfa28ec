#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace Norvane::LocalBackend {

// A payment order: created by "payments/create" (or the seed's order history), its status moved
// along a script by each status query, listed in the order history.
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
    QString status = QStringLiteral("pending");
    QStringList script;   // the statuses the next queries answer, one each; the last one stays
    int queries = 0;
    QDateTime createdAt;
    QDateTime paidAt;
    QDateTime updatedAt;

    static const QStringList &statusWords();
    static bool isPaidStatus(const QString &status);

    // Moves to the status the script gives the next query; true when that status is the first
    // paid one of the order.
    bool advance(const QDateTime &now);

    QString thirdPartyOrderId() const;
    QJsonObject toOrderJson() const;   // an entry of "orders"
    QJsonObject toStatusJson() const;  // the "data" of a payment status reply
};

} // namespace Norvane::LocalBackend
