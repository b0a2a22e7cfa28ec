#pragma once

#include <QJsonObject>
#include <QUrl>

namespace Norvane::LocalBackend {

// One page of a list: the "meta" and "links" members of a paged reply.
class Pagination
{
public:
    Pagination(int page, int perPage, int total);

    int offset() const { return (m_page - 1) * m_perPage; }
    int perPage() const { return m_perPage; }

    QJsonObject meta() const;
    // Links to pages of the endpoint; "prev" and "next" are null where there is no such page.
    QJsonObject links(const QUrl &endpoint) const;

private:
    QString pageUrl(const QUrl &endpoint, int page) const;

    int m_page;
    int m_perPage;
    int m_total;
    int m_lastPage;
};

} // namespace Norvane::LocalBackend
