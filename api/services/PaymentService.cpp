#include "api/services/PaymentService.h"

#include "api/network/HttpClient.h"
#include "api/security/TokenManager.h"
#include "api/vpn/AcceptedWait.h"

#include <QCoreApplication>
#include <QDebug>
#include <QJsonArray>
#include <QTimer>
#include <QUrl>

namespace Norvane::Api::Services {

using Network::ApiResponse;
using Network::HttpClient;

namespace {

const QString kStatusCompleted = QStringLiteral("completed");
const QString kStatusCancelled = QStringLiteral("cancelled");
const QString kStatusRefunded = QStringLiteral("refunded");

// The order number is one path segment: "/", "?" or "#" in it must not reshape the URL.
QString statusEndpoint(const QString &orderNumber)
{
    return QStringLiteral("%1/%2").arg(QStringLiteral("payments/status"),
                                       QString::fromLatin1(QUrl::toPercentEncoding(orderNumber)));
}

// URLs normalise "." and ".." away even when percent-encoded, so such an order number would
// name another path.
bool isDotSegment(const QString &orderNumber)
{
    return orderNumber == QLatin1String(".") || orderNumber == QLatin1String("..");
}

} // namespace

PaymentService *PaymentService::instance()
{
    static PaymentService service;
    return &service;
}

PaymentService::PaymentService()
    : m_pollTimer(new QTimer(this))
{
    m_pollTimer->setInterval(kDefaultPollInterval);
    connect(m_pollTimer, &QTimer::timeout, this, &PaymentService::onPollTick);
    // Stop while the event loop still exists; the destructor runs after it is gone.
    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &PaymentService::stopPolling);
    qDebug() << "[PaymentService] 初始化完成";
}

PaymentService::~PaymentService()
{
    if (QCoreApplication::instance())
        stopPolling();
}

void PaymentService::getSubscriptionPlans(PlansCallback callback)
{
    qDebug() << "[PaymentService] 获取订阅套餐列表";
    HttpClient::instance()->getNoAuth(
        QStringLiteral("plans"), [this, callback = std::move(callback)](const ApiResponse &response) {
            if (!response.isSuccess()) {
                const QString error = response.errorMessage();
                if (callback)
                    callback(false, error, {});
                qDebug() << "[PaymentService] 获取套餐列表失败:" << error;
                return;
            }
            QList<Models::SubscriptionPlan> plans;
            const QJsonArray data = response.json.value(QStringLiteral("data")).toArray();
            for (const QJsonValue &element : data) {
                if (element.isObject())
                    plans.append(Models::SubscriptionPlan::fromJson(element.toObject()));
            }
            m_plans = plans;
            if (callback)
                callback(true, QStringLiteral("获取成功"), plans);
            emit plansUpdated(plans);
            qDebug() << "[PaymentService] 套餐列表获取成功, 数量:" << plans.size();
        });
}

void PaymentService::createPayment(int planId, const QString &paymentMethod, CreateCallback callback)
{
    qDebug() << "[PaymentService] 创建支付订单, 套餐ID:" << planId << ", 支付方式:" << paymentMethod;
    Models::CreatePaymentRequest request;
    request.planId = planId;
    request.paymentMethod = paymentMethod;
    request.deviceId = Security::TokenManager::instance()->getDeviceId();

    HttpClient::instance()->post(
        QStringLiteral("payments/create"), request.toJson(),
        [this, callback = std::move(callback)](const ApiResponse &response) {
            if (!response.isSuccess()) {
                const QString error = response.errorMessage();
                if (callback)
                    callback(false, error, {});
                qDebug() << "[PaymentService] 创建支付订单失败:" << error;
                return;
            }
            const Models::CreatePaymentResponse created = Models::CreatePaymentResponse::fromJson(response.json);
            // Without an order number there is nothing to pay or to poll.
            if (created.data.orderId.isEmpty()) {
                const QString error = QStringLiteral("响应数据无效");
                if (callback)
                    callback(false, error, {});
                qWarning() << "[PaymentService] 创建支付订单失败:" << error;
                return;
            }
            if (callback)
                callback(true, created.message, created.data);
            emit paymentCreated(created.data);
            qDebug() << "[PaymentService] 支付订单创建成功:" << created.data.orderId;
        });
}

void PaymentService::getPaymentStatus(const QString &orderNumber, StatusCallback callback)
{
    qDebug() << "[PaymentService] 查询支付状态:" << orderNumber;
    if (isDotSegment(orderNumber)) {
        qWarning() << "[PaymentService] 订单号无效:" << orderNumber;
        // Answered through the event loop like every reply, never inside the call.
        QMetaObject::invokeMethod(
            this,
            [callback = std::move(callback)]() {
                if (callback)
                    callback(false, QStringLiteral("订单号无效"), {});
            },
            Qt::QueuedConnection);
        return;
    }
    HttpClient::instance()->get(
        statusEndpoint(orderNumber), [callback = std::move(callback)](const ApiResponse &response) {
            if (!callback)
                return;
            if (response.isSuccess())
                callback(true, QStringLiteral("查询成功"),
                         Models::PaymentStatusResponse::fromJson(response.json).data);
            else
                callback(false, response.errorMessage(), {});
        });
}

void PaymentService::startPolling(const QString &orderNumber, StatusCallback onStatus,
                                  OutcomeCallback onCompleted, OutcomeCallback onFailed)
{
    stopPolling();
    if (orderNumber.isEmpty())
        qWarning() << "[PaymentService] 轮询的订单号为空, 首次轮询时将停止";

    m_poll.orderNumber = orderNumber;
    m_poll.count = 0;
    m_poll.onStatus = std::move(onStatus);
    m_poll.onCompleted = std::move(onCompleted);
    m_poll.onFailed = std::move(onFailed);

    // The first answer only informs the caller; the ticks decide when polling ends.
    const quint64 generation = m_pollGeneration;
    getPaymentStatus(orderNumber, [this, generation, orderNumber](bool success, const QString &message,
                                                                  const Models::PaymentStatusData &data) {
        if (!isCurrent(generation)) {
            qDebug() << "[PaymentService] 丢弃已结束轮询的支付状态应答:" << orderNumber;
            return;
        }
        // A copy: the callback may restart polling and so replace the stored one while it runs.
        const StatusCallback onStatus = m_poll.onStatus;
        if (onStatus)
            onStatus(success, message, data);
    });

    m_pollTimer->start();
    qDebug() << "[PaymentService] 开始轮询支付状态:" << orderNumber;
}

void PaymentService::stopPolling()
{
    if (m_pollTimer->isActive()) {
        m_pollTimer->stop();
        qDebug() << "[PaymentService] 停止轮询支付状态";
    }
    ++m_pollGeneration;
    m_poll = PollState();
}

bool PaymentService::isPolling() const
{
    return m_pollTimer->isActive();
}

int PaymentService::pollInterval() const
{
    return m_pollTimer->interval();
}

void PaymentService::setPollInterval(int milliseconds)
{
    if (Vpn::acceptedWait(milliseconds, "[PaymentService] 轮询间隔无效, 保持原值: %1"))
        m_pollTimer->setInterval(milliseconds);
}

void PaymentService::setPollLimit(int ticks)
{
    if (ticks < 0) {
        qWarning() << "[PaymentService] 轮询次数上限无效, 保持原值:" << ticks;
        return;
    }
    m_pollLimit = ticks;
}

void PaymentService::onPollTick()
{
    if (m_poll.orderNumber.isEmpty()) {
        stopPolling();
        return;
    }
    if (m_poll.count < m_pollLimit) {
        ++m_poll.count;
        const quint64 generation = m_pollGeneration;
        const QString orderNumber = m_poll.orderNumber;
        getPaymentStatus(orderNumber, [this, generation, orderNumber](bool success, const QString &message,
                                                                      const Models::PaymentStatusData &data) {
            onTickAnswer(generation, orderNumber, success, message, data);
        });
        return;
    }
    qDebug() << "[PaymentService] 支付状态轮询次数已用完:" << m_poll.orderNumber;
    const OutcomeCallback onFailed = std::move(m_poll.onFailed);
    stopPolling();
    if (onFailed)
        onFailed();
}

void PaymentService::onTickAnswer(quint64 generation, const QString &orderNumber, bool success,
                                  const QString &message, const Models::PaymentStatusData &data)
{
    if (!isCurrent(generation)) {
        qDebug() << "[PaymentService] 丢弃已结束轮询的支付状态应答:" << orderNumber;
        return;
    }
    // Each callback and receiver may stop or restart polling; after that this answer is stale.
    const StatusCallback onStatus = m_poll.onStatus;
    if (onStatus) {
        onStatus(success, message, data);
        if (!isCurrent(generation))
            return;
    }
    emit paymentStatusUpdated(data);
    if (!isCurrent(generation) || !success)
        return;

    if (data.status == kStatusCompleted) {
        const OutcomeCallback onCompleted = std::move(m_poll.onCompleted);
        stopPolling();
        emit paymentCompleted(data.orderId);
        if (onCompleted)
            onCompleted();
    } else if (data.status == kStatusCancelled || data.status == kStatusRefunded) {
        const OutcomeCallback onFailed = std::move(m_poll.onFailed);
        stopPolling();
        emit paymentFailed(data.orderId, QStringLiteral("支付失败或已取消"));
        if (onFailed)
            onFailed();
    }
}

} // namespace Norvane::Api::Services
