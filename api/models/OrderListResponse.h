#pragma once

#include "api/models/Order.h"

#include <QJsonObject>
#include <QList>
#include <QString>

namespace Norvane::Api::Models {

// The pagination figures of one page of orders ("meta").
struct PaginationMeta
{
    int currentPage = 1;
    int from = 0;
    int lastPage = 1;
    int perPage = 20;
    int to = 0;
    int total = 0;

    static PaginationMeta fromJson(const QJsonObject &json);
};

// The neighbouring page addresses of one page of orders ("links"); empty when null or absent.
struct PaginationLinks
{
    QString first;
    QString last;
    QString prev;
    QString next;

    static PaginationLinks fromJson(const QJsonObject &json);
};

// One page of the order list as the back end answers it. "success" defaults to false here;
// whether the reply succeeded is decided by the envelope, not by this member.
struct OrderListResponse
{
    bool success = false;
    QList<Order> orders;
    PaginationMeta meta;
    PaginationLinks links;

    static OrderListResponse fromJson(const QJsonObject &json);
};

} // namespace Norvane::Api::Models
