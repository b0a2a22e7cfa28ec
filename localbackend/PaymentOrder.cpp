#include "localbackend/PaymentOrder.h"

#include <QHash>
#include <QJsonValue>

#include <algorithm>

namespace Norvane::LocalBackend {

namespace {

QJsonValue dateOrNull(const QDateTime &when)
{
    return when.isValid() ? QJsonValue(when.toUTC().toString(Qt::ISODate)) : QJsonValue(QJsonValue::Null);
}

QString statusText(const QString &status)
{
    static const QHash<QString, QString> texts{
        {"pending", "待支付"},   {"processing", "处理中"}, {"paid", "已支付"},
        {"completed", "已完成"}, {"failed", "支付失败"},  {"cancelled", "已取消"},
        {"refunded", "已退款"}};
    return texts.value(status, status);
}

QString methodText(const QString &method)
{
    static const QHash<QString, QString> texts{
        {"alipay", "支付宝"}, {"wxpay", "微信支付"}, {"wechat", "微信支付"}, {"usdt", "USDT"}};
    return texts.value(method, method);
}

} // namespace

const QStringList &PaymentOrder::statusWords()
{
    static const QStringList words{"pending", "processing", "paid", "completed",
                                   "failed", "cancelled", "refunded"};
    return words;
}

bool PaymentOrder::isPaidStatus(const QString &status)
{
    return status == u"completed" || status == u"paid";
}

bool PaymentOrder::advance(const QDateTime &now)
{
    if (script.isEmpty())
        return false;
    const QString next = script.at(std::min<qsizetype>(queries, script.size() - 1));
    ++queries;
    if (next == status)
        return false;
    const bool firstPaid = isPaidStatus(next) && !paidAt.isValid();
    status = next;
    updatedAt = now;
    if (firstPaid)
        paidAt = now;
    return firstPaid;
}

QString PaymentOrder::thirdPartyOrderId() const
{
    return paidAt.isValid() ? QStringLiteral("TP") + orderNumber : QString();
}

QJsonObject PaymentOrder::toOrderJson() const
{
    return {{"id", id},
            {"order_number", orderNumber},
            {"plan_name", planName},
            {"plan_days", planDays},
            {"amount", amount},
            {"payment_currency", currency},
            {"payment_method", paymentMethod},
            {"payment_method_text", methodText(paymentMethod)},
            {"provider_code", "ciyun"},
            {"provider_name", "ciyun"},
            {"third_party_order_id", thirdPartyOrderId()},
            {"payment_id", QStringLiteral("PAY%1").arg(id, 8, 10, QLatin1Char('0'))},
            {"status", status},
            {"status_text", statusText(status)},
            {"created_at", dateOrNull(createdAt)},
            {"paid_at", dateOrNull(paidAt)},
            {"updated_at", dateOrNull(updatedAt)}};
}

QJsonObject PaymentOrder::toStatusJson() const
{
    return {{"order_id", orderNumber},
            {"status", status},
            {"amount", amount},
            {"plan_name", planName},
            {"plan_days", planDays},
            {"payment_method", paymentMethod},
            {"third_party_order_id", thirdPartyOrderId()},
            {"created_at", dateOrNull(createdAt)},
            {"paid_at", dateOrNull(paidAt)}};
}

} // namespace Norvane::LocalBackend
