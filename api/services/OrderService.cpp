#include "api/services/OrderService.h"

#include "api/network/HttpClient.h"

#include <QDebug>
#include <QJsonValue>

namespace Norvane::Api::Services {

using Network::ApiResponse;
using Network::HttpClient;

OrderService *OrderService::instance()
{
    static OrderService service;
    return &service;
}

OrderService::OrderService()
{
    // The client must exist first so that it outlives this service at process exit.
    HttpClient::instance();
    qDebug() << "[OrderService] 初始化完成";
}

void OrderService::getOrders(int page, int perPage, PageCallback callback)
{
    qDebug() << "[OrderService] 获取订单列表, 页码:" << page << ", 每页:" << perPage;
    HttpClient::QueryItems query;
    query.insert(QStringLiteral("page"), QString::number(page));
    query.insert(QStringLiteral("per_page"), QString::number(perPage));
    HttpClient::instance()->get(
        QStringLiteral("orders"),
        [this, page, callback](const ApiResponse &response) { handleReply(response, page, callback); },
        query);
}

void OrderService::getAllOrders(OrdersCallback callback)
{
    getOrders(1, 100, [callback](bool success, const QString &message, const Models::OrderListResponse &response) {
        if (callback)
            callback(success, message, response.orders);
    });
}

void OrderService::clearCache()
{
    m_orders.clear();
    m_pagination = Models::PaginationMeta();
    qDebug() << "[OrderService] 订单缓存已清除";
}

void OrderService::handleReply(const ApiResponse &response, int page, const PageCallback &callback)
{
    if (!response.isSuccess()) {
        const QString message = response.errorMessage();
        if (callback)
            callback(false, message, Models::OrderListResponse());
        qDebug() << "[OrderService] 获取订单列表失败:" << message;
        return;
    }

    if (!response.json.value(QStringLiteral("data")).isArray())
        qWarning() << "[OrderService] 订单列表响应没有data数组, 按空页处理";
    const Models::OrderListResponse list = Models::OrderListResponse::fromJson(response.json);
    // The requested page number decides, not the reply's "current_page".
    if (page == 1)
        m_orders = list.orders;
    else
        m_orders.append(list.orders);
    m_pagination = list.meta;
    if (callback)
        callback(true, QStringLiteral("获取成功"), list);
    emit ordersUpdated(m_orders);
    qDebug() << "[OrderService] 订单列表获取成功, 数量:" << list.orders.size();
}

} // namespace Norvane::Api::Services
