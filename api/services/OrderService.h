#pragma once

#include "api/models/Order.h"
#include "api/models/OrderListResponse.h"
#include "api/network/ApiResponse.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

namespace Norvane::Api::Services {

// Fetches the logged-in user's orders page by page and keeps the orders fetched since the last
// first page, with the last page's pagination figures.
class OrderService : public QObject
{
    Q_OBJECT

public:
    using PageCallback =
        std::function<void(bool success, const QString &message, const Models::OrderListResponse &response)>;
    using OrdersCallback =
        std::function<void(bool success, const QString &message, const QList<Models::Order> &orders)>;

    static OrderService *instance();

    // Page 1 replaces the cache; any other page is appended to it.
    void getOrders(int page, int perPage, PageCallback callback = {});
    // One request for the first 100 orders; later pages are never fetched.
    void getAllOrders(OrdersCallback callback = {});
    void clearCache();

    QList<Models::Order> cachedOrders() const { return m_orders; }
    Models::PaginationMeta pagination() const { return m_pagination; }

signals:
    void ordersUpdated(const QList<Models::Order> &orders);

private:
    OrderService();

    void handleReply(const Network::ApiResponse &response, int page, const PageCallback &callback);

    QList<Models::Order> m_orders;
    Models::PaginationMeta m_pagination;
};

} // namespace Norvane::Api::Services
