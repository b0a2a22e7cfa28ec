#include "localbackend/Pagination.h"

#include <QJsonValue>
#include <QUrlQuery>

#include <algorithm>

namespace Norvane::LocalBackend {

Pagination::Pagination(int page, int perPage, int total)
    : m_page(page), m_perPage(perPage), m_total(total),
      m_lastPage(std::max(1, (total + perPage - 1) / perPage))
{
}

QJsonObject Pagination::meta() const
{
    const int shown = std::clamp(m_total - offset(), 0, m_perPage);
    return QJsonObject{{"current_page", m_page},
                       {"from", shown > 0 ? offset() + 1 : 0},
                       {"last_page", m_lastPage},
                       {"per_page", m_perPage},
                       {"to", shown > 0 ? offset() + shown : 0},
                       {"total", m_total}};
}

QJsonObject Pagination::links(const QUrl &endpoint) const
{
    const QJsonValue none(QJsonValue::Null);
    return QJsonObject{{"first", pageUrl(endpoint, 1)},
                       {"last", pageUrl(endpoint, m_lastPage)},
                       {"prev", m_page > 1 ? QJsonValue(pageUrl(endpoint, m_page - 1)) : none},
                       {"next", m_page < m_lastPage ? QJsonValue(pageUrl(endpoint, m_page + 1)) : none}};
}

QString Pagination::pageUrl(const QUrl &endpoint, int page) const
{
    QUrl url = endpoint;
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("page"), QString::number(page));
    query.addQueryItem(QStringLiteral("per_page"), QString::number(m_perPage));
    url.setQuery(query);
    return url.toString();
}

} // namespace Norvane::LocalBackend
