#include "localbackend/OrderBook.h"

#include <algorithm>

namespace Norvane::LocalBackend {

QStringList OrderBook::defaultScript()
{
    return {QStringLiteral("pending"), QStringLiteral("pending"), QStringLiteral("completed")};
}

QString OrderBook::scriptProblem(const QStringList &statuses)
{
    if (statuses.isEmpty())
        return QStringLiteral("a payment script needs at least one status");
    for (const QString &status : statuses) {
        if (status.trimmed().isEmpty())
            return QStringLiteral("a payment script holds an empty status");
    }
    return {};
}

QString OrderBook::setNextScript(const QStringList &statuses)
{
    const QString problem = scriptProblem(statuses);
    if (problem.isEmpty())
        m_nextScript = statuses;
    return problem;
}

QString OrderBook::setScript(const QString &orderNumber, const QStringList &statuses)
{
    const QString problem = scriptProblem(statuses);
    if (!problem.isEmpty())
        return problem;
    PaymentOrder *order = find(orderNumber);
    if (!order)
        return QStringLiteral("no payment order \"%1\"").arg(orderNumber);
    if (order->hasEnded())
        return QStringLiteral("payment order \"%1\" has ended as %2").arg(orderNumber, order->status);
    order->script = statuses;
    return {};
}

PaymentOrder &OrderBook::create(PaymentOrder order, const QDateTime &now)
{
    order.id = m_nextId++;
    order.orderNumber = QStringLiteral("NV%1%2")
                            .arg(now.toString(QStringLiteral("yyyyMMddHHmmss")))
                            .arg(order.id, 4, 10, QLatin1Char('0'));
    order.status = QStringLiteral("pending");
    order.script = m_nextScript.value_or(defaultScript());
    m_nextScript.reset();
    order.createdAt = now;
    order.updatedAt = now;
    m_orders.append(order);
    return m_orders.last();
}

PaymentOrder *OrderBook::find(const QString &orderNumber)
{
    for (PaymentOrder &order : m_orders) {
        if (order.orderNumber == orderNumber)
            return &order;
    }
    return nullptr;
}

bool OrderBook::advance(PaymentOrder &order, const QDateTime &now)
{
    if (order.hasEnded())
        return false;
    order.status = order.script.size() > 1 ? order.script.takeFirst() : order.script.first();
    order.updatedAt = now;
    if (order.status == u"completed") {
        order.paidAt = now;
        order.thirdPartyOrderId = QStringLiteral("CY") + order.orderNumber;
    }
    return order.hasEnded();
}

QList<PaymentOrder> OrderBook::history(int accountId) const
{
    QList<PaymentOrder> ended;
    std::copy_if(m_orders.crbegin(), m_orders.crend(), std::back_inserter(ended),
                 [accountId](const PaymentOrder &order) {
                     return order.accountId == accountId && order.hasEnded();
                 });
    return ended;
}

void OrderBook::clear()
{
    *this = OrderBook();
}

} // namespace Norvane::LocalBackend
