#include "localbackend/PaymentOrder.h"

#include "localbackend/Envelope.h"

#include <QJsonValue>

namespace Norvane::LocalBackend {

namespace {

QString methodText(const QString &method)
{
    if (method == u"alipay")
        return QStringLiteral("支付宝");
    if (method == u"wxpay")
        return QStringLiteral("微信支付");
    return method;
}

QString statusText(const QString &status)
{
    if (status == u"completed")
        return QStringLiteral("已完成");
    if (status == u"cancelled")
        return QStringLiteral("已取消");
    if (status == u"refunded")
        return QStringLiteral("已退款");
    return QStringLiteral("待支付");
}

} // namespace

bool PaymentOrder::hasEnded() const
{
    return isEndWord(status);
}

bool PaymentOrder::isEndWord(const QString &status)
{
    return status == u"completed" || status == u"cancelled" || status == u"refunded";
}

QJsonObject PaymentOrder::statusJson() const
{
    return QJsonObject{{"order_id", orderNumber},
                       {"status", status},
                       {"amount", amount},
                       {"plan_name", planName},
                       {"plan_days", planDays},
                       {"payment_method", paymentMethod},
                       {"third_party_order_id", thirdPartyOrderId},
                       {"created_at", createdAt.toString(Qt::ISODate)},
                       {"paid_at", Envelope::dateTime(paidAt)}};
}

QJsonObject PaymentOrder::historyJson() const
{
    return QJsonObject{{"id", id},
                       {"order_number", orderNumber},
                       {"plan_name", planName},
                       {"plan_days", planDays},
                       {"amount", amount},
                       {"payment_currency", currency},
                       {"payment_method", paymentMethod},
                       {"payment_method_text", methodText(paymentMethod)},
                       {"provider_code", provider},
                       {"provider_name", provider},
                       {"third_party_order_id", thirdPartyOrderId},
                       {"payment_id", thirdPartyOrderId},
                       {"status", status},
                       {"status_text", statusText(status)},
                       {"created_at", createdAt.toString(Qt::ISODate)},
                       {"paid_at", Envelope::dateTime(paidAt)},
                       {"updated_at", updatedAt.toString(Qt::ISODate)}};
}

} // namespace Norvane::LocalBackend
