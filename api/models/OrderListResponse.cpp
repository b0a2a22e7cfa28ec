#include "api/models/OrderListResponse.h"

#include <QJsonValue>

namespace Norvane::Api::Models {

PaginationMeta PaginationMeta::fromJson(const QJsonObject &json)
{
    PaginationMeta meta;
    meta.currentPage = json.value(QStringLiteral("current_page")).toInt(meta.currentPage);
    meta.from = json.value(QStringLiteral("from")).toInt(meta.from);
    meta.lastPage = json.value(QStringLiteral("last_page")).toInt(meta.lastPage);
    meta.perPage = json.value(QStringLiteral("per_page")).toInt(meta.perPage);
    meta.to = json.value(QStringLiteral("to")).toInt(meta.to);
    meta.total = json.value(QStringLiteral("total")).toInt(meta.total);
    return meta;
}

PaginationLinks PaginationLinks::fromJson(const QJsonObject &json)
{
    PaginationLinks links;
    links.first = json.value(QStringLiteral("first")).toString();
    links.last = json.value(QStringLiteral("last")).toString();
    links.prev = json.value(QStringLiteral("prev")).toString();
    links.next = json.value(QStringLiteral("next")).toString();
    return links;
}

OrderListResponse OrderListResponse::fromJson(const QJsonObject &json)
{
    OrderListResponse response;
    response.success = json.value(QStringLiteral("success")).toBool(response.success);

    const QJsonValue data = json.value(QStringLiteral("data"));
    if (data.isArray())
        response.orders = Order::fromJsonArray(data.toArray());
    const QJsonValue meta = json.value(QStringLiteral("meta"));
    if (meta.isObject())
        response.meta = PaginationMeta::fromJson(meta.toObject());
    const QJsonValue links = json.value(QStringLiteral("links"));
    if (links.isObject())
        response.links = PaginationLinks::fromJson(links.toObject());
    return response;
}

} // namespace Norvane::Api::Models
