#include "localbackend/PaymentRoutes.h"

#include "localbackend/Envelope.h"
#include "localbackend/Pagination.h"
#include "localbackend/RequestFields.h"

#include <QFile>
#include <QJsonArray>

namespace Norvane::LocalBackend {

namespace {

const QString kPaymentCodePath = QStringLiteral("/pay/");
const QStringList kPaymentMethods{"alipay", "wxpay"};
const QString kProvider = QStringLiteral("ciyun");

QByteArray paymentCodePicture()
{
    static const QByteArray picture = [] {
        QFile file(QStringLiteral(":/localbackend/payment-code.png"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    return picture;
}

} // namespace

PaymentRoutes::PaymentRoutes(LocalBackendServer &server, AccountStore &accounts, const PlanCatalogue &plans,
                             OrderBook &orders)
    : m_server(server), m_accounts(accounts), m_plans(plans), m_orders(orders)
{
    server.route("POST", "/api/v1/payments/create", [this](const RecordedRequest &r) { return create(r); });
    server.route("GET", "/api/v1/payments/status/{}", [this](const RecordedRequest &r) { return status(r); });
    server.route("GET", "/api/v1/orders", [this](const RecordedRequest &r) { return history(r); });
    server.route("GET", kPaymentCodePath + QStringLiteral("{}"),
                 [this](const RecordedRequest &r) { return paymentCode(r); });
}

Reply PaymentRoutes::create(const RecordedRequest &request)
{
    const Account *account = m_accounts.authenticated(request);
    if (!account)
        return Envelope::unauthorized();
    QJsonObject body;
    if (!Envelope::bodyOf(request, &body))
        return Envelope::badBody();

    QJsonObject errors;
    const std::optional<qint64> planId = RequestFields::wholeNumber(body, "plan_id");
    const Plan *plan = planId ? m_plans.find(int(*planId)) : nullptr;
    if (!planId)
        Envelope::addError(&errors, "plan_id", QStringLiteral("套餐ID无效"));
    else if (!plan || !plan->isActive)
        Envelope::addError(&errors, "plan_id", QStringLiteral("套餐不存在或已下架"));
    const QString method = body.value("payment_method").toString();
    if (!kPaymentMethods.contains(method))
        Envelope::addError(&errors, "payment_method", QStringLiteral("不支持的支付方式: %1").arg(method));
    if (body.value("payment_provider").toString() != kProvider)
        Envelope::addError(&errors, "payment_provider", QStringLiteral("不支持的支付渠道"));
    if (!RequestFields::text(body, "device_id"))
        Envelope::addError(&errors, "device_id", QStringLiteral("设备ID不能为空"));
    if (!errors.isEmpty())
        return Envelope::invalid(errors);

    PaymentOrder order;
    order.accountId = account->id;
    order.planId = plan->id;
    order.planName = plan->name;
    order.planDays = plan->days;
    order.amount = plan->price;
    order.currency = plan->currency;
    order.paymentMethod = method;
    order.provider = kProvider;
    const PaymentOrder &created = m_orders.create(order, QDateTime::currentDateTimeUtc());
    return Envelope::ok(QStringLiteral("订单创建成功"),
                        QJsonObject{{"order_id", created.orderNumber},
                                    {"payment_url", paymentUrl(created.orderNumber).toString()},
                                    {"amount", created.amount},
                                    {"plan_name", created.planName},
                                    {"plan_days", created.planDays}});
}

Reply PaymentRoutes::status(const RecordedRequest &request)
{
    Account *account = m_accounts.authenticated(request);
    if (!account)
        return Envelope::unauthorized();
    PaymentOrder *order = m_orders.find(request.pathArgs.value(0));
    if (!order || order->accountId != account->id)
        return Envelope::notFound(QStringLiteral("订单不存在"));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (m_orders.advance(*order, now) && order->status == u"completed")
        account->grantVip(now, qint64(order->planDays) * 86400);
    return Envelope::ok(QStringLiteral("查询成功"), order->statusJson());
}

Reply PaymentRoutes::history(const RecordedRequest &request)
{
    const Account *account = m_accounts.authenticated(request);
    if (!account)
        return Envelope::unauthorized();
    QJsonObject errors;
    const std::optional<qint64> page = RequestFields::queryNumber(request, "page", 1);
    const std::optional<qint64> perPage = RequestFields::queryNumber(request, "per_page", 20);
    if (!page || *page < 1 || *page > 1000000)
        Envelope::addError(&errors, "page", QStringLiteral("页码必须是正整数"));
    if (!perPage || *perPage < 1 || *perPage > kMaxPerPage) {
        Envelope::addError(&errors, "per_page",
                           QStringLiteral("每页数量必须在 1 到 %1 之间").arg(kMaxPerPage));
    }
    if (!errors.isEmpty())
        return Envelope::invalid(errors);

    const QList<PaymentOrder> orders = m_orders.history(account->id);
    const Pagination pagination(int(*page), int(*perPage), int(orders.size()));
    QJsonArray data;
    for (const PaymentOrder &order : orders.mid(pagination.offset(), pagination.perPage()))
        data.append(order.historyJson());
    return Reply::json({{"success", true},
                        {"message", "获取成功"},
                        {"data", data},
                        {"meta", pagination.meta()},
                        {"links", pagination.links(m_server.baseUrl().resolved(QUrl("orders")))}});
}

// Fetched by the client's picture view without the token, as a payment page would be.
Reply PaymentRoutes::paymentCode(const RecordedRequest &request)
{
    if (!m_orders.find(request.pathArgs.value(0)))
        return Envelope::notFound(QStringLiteral("订单不存在"));
    Reply reply;
    reply.body = paymentCodePicture();
    reply.contentType = "image/png";
    return reply;
}

QUrl PaymentRoutes::paymentUrl(const QString &orderNumber) const
{
    QUrl url = m_server.baseUrl();
    url.setPath(kPaymentCodePath + orderNumber);
    return url;
}

} // namespace Norvane::LocalBackend
