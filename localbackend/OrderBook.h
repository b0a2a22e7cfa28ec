#pragma once

#include "localbackend/PaymentOrder.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace Norvane::LocalBackend {

// Every payment order, with the status script that each one follows.
class OrderBook
{
public:
    static QStringList defaultScript();

    // The script of the next order only; later orders follow the default again.
    // Each returns what is wrong, empty on success.
    QString setNextScript(const QStringList &statuses);
    // Replaces the rest of an open order's script.
    QString setScript(const QString &orderNumber, const QStringList &statuses);

    // Gives the order its id, number, script and times.
    PaymentOrder &create(PaymentOrder order, const QDateTime &now);
    PaymentOrder *find(const QString &orderNumber);
    // One status query: the order takes the next word of its script; an ended order keeps its
    // status. True when this query ended it.
    bool advance(PaymentOrder &order, const QDateTime &now);

    // The account's ended orders, newest first.
    QList<PaymentOrder> history(int accountId) const;
    QList<PaymentOrder> orders() const { return m_orders; }
    void clear();

private:
    static QString scriptProblem(const QStringList &statuses);

    QList<PaymentOrder> m_orders;
    std::optional<QStringList> m_nextScript;
    int m_nextId = 1;
};

} // namespace Norvane::LocalBackend
