#include "localbackend/CatalogueRoutes.h"

#include "localbackend/Envelope.h"
#include "localbackend/RequestFields.h"

namespace Norvane::LocalBackend {

CatalogueRoutes::CatalogueRoutes(LocalBackendServer &server, AccountStore &accounts,
                                 const ServerCatalogue &servers, const PlanCatalogue &plans,
                                 const AnnouncementBoard &announcements)
    : m_accounts(accounts), m_servers(servers), m_plans(plans), m_announcements(announcements)
{
    server.route("GET", "/api/v1/servers", [this](const RecordedRequest &r) { return serverList(r); });
    server.route("GET", "/api/v1/servers/{}", [this](const RecordedRequest &r) { return serverDetail(r); });
    server.route("GET", "/api/v1/plans", [this](const RecordedRequest &r) { return planList(r); });
    server.route("GET", "/api/v1/announcements", [this](const RecordedRequest &r) { return announcementList(r); });
}

Reply CatalogueRoutes::serverList(const RecordedRequest &request)
{
    const Account *viewer = nullptr;
    if (!viewerOf(request, &viewer))
        return Envelope::unauthorized();
    const QString tier = request.query.queryItemValue("tier");
    if (!tier.isEmpty() && !ServerCatalogue::isKnownTier(tier)) {
        QJsonObject errors;
        Envelope::addError(&errors, "tier", QStringLiteral("线路等级只能是 free 或 vip"));
        return Envelope::invalid(errors);
    }
    return Envelope::ok(QStringLiteral("获取成功"),
                        m_servers.list(tier, viewer, QDateTime::currentDateTimeUtc()));
}

Reply CatalogueRoutes::serverDetail(const RecordedRequest &request)
{
    const Account *viewer = nullptr;
    if (!viewerOf(request, &viewer))
        return Envelope::unauthorized();
    const std::optional<int> id = RequestFields::pathId(request);
    const std::optional<QJsonObject> server =
        id ? m_servers.server(*id, viewer, QDateTime::currentDateTimeUtc()) : std::nullopt;
    if (!server)
        return Envelope::notFound(QStringLiteral("服务器不存在"));
    return Envelope::ok(QStringLiteral("获取成功"), *server);
}

Reply CatalogueRoutes::planList(const RecordedRequest &)
{
    return Envelope::ok(QStringLiteral("获取成功"), m_plans.activePlans());
}

Reply CatalogueRoutes::announcementList(const RecordedRequest &request)
{
    QJsonObject errors;
    const QString platform = request.query.queryItemValue("platform");
    if (!platform.isEmpty() && !AnnouncementBoard::isKnownPlatform(platform))
        Envelope::addError(&errors, "platform", QStringLiteral("不支持的平台: %1").arg(platform));
    const std::optional<qint64> limit = RequestFields::queryNumber(request, "limit", 0);
    if (!limit || *limit < 0 || *limit > 100)
        Envelope::addError(&errors, "limit", QStringLiteral("limit 必须是 0 到 100 之间的整数"));
    if (!errors.isEmpty())
        return Envelope::invalid(errors);
    return Envelope::ok(QStringLiteral("获取成功"), m_announcements.forPlatform(platform, int(*limit)));
}

bool CatalogueRoutes::viewerOf(const RecordedRequest &request, const Account **viewer)
{
    if (AccountStore::bearerToken(request).isEmpty()) {
        *viewer = nullptr;
        return true;
    }
    *viewer = m_accounts.authenticated(request);
    return *viewer != nullptr;
}

} // namespace Norvane::LocalBackend
