#include "localbackend/ServerCatalogue.h"

#include "localbackend/SeedEntry.h"

#include <QJsonDocument>
#include <QSet>

namespace Norvane::LocalBackend {

namespace {

const QStringList kTextMembers{"app_name", "country_code", "city", "location", "hostname", "host",
                               "ip_address", "protocol", "transport", "sni", "status", "tier_text",
                               "created_at", "updated_at"};
const QStringList kIntMembers{"port", "max_users", "current_users"};
const QStringList kNumberMembers{"cpu_usage", "latitude", "longitude"};
const QStringList kBoolMembers{"tls_enabled", "is_enabled"};
const QStringList kComputedMembers{"requires_vip", "can_connect"};

// Empty when the link is "vmess://" + base64 of a JSON object naming address, port and user id.
QString linkProblem(const QString &link)
{
    if (!link.startsWith(QLatin1String("vmess://"), Qt::CaseInsensitive))
        return QStringLiteral("does not start with \"vmess://\"");
    const QByteArray decoded = QByteArray::fromBase64(link.mid(8).toUtf8());
    const QJsonDocument document = QJsonDocument::fromJson(decoded);
    if (!document.isObject())
        return QStringLiteral("does not carry base64 of a JSON object");
    const QJsonObject server = document.object();
    if (server.value("add").toString().isEmpty())
        return QStringLiteral("has no \"add\" address");
    bool portOk = false;
    const int port = server.value("port").toString().toInt(&portOk);
    if (!portOk || port < 1 || port > 65535)
        return QStringLiteral("has no \"port\" text from 1 to 65535");
    if (server.value("id").toString().isEmpty())
        return QStringLiteral("has no \"id\" user id");
    return {};
}

} // namespace

QString ServerCatalogue::load(const QJsonArray &section)
{
    QList<QJsonObject> servers;
    QSet<int> ids;
    for (qsizetype i = 0; i < section.size(); ++i) {
        SeedEntry entry(section.at(i), QStringLiteral("servers[%1]").arg(i));
        for (const QString &member : kComputedMembers) {
            entry.require(!entry.object().contains(member),
                          QStringLiteral("\"%1\" is worked out by the back end; leave it out").arg(member));
        }
        entry.allowOnly(QStringList{"id", "name", "tier", "vmess_link"} + kTextMembers + kIntMembers
                        + kNumberMembers + kBoolMembers);
        const int id = entry.requiredId("id");
        entry.requiredText("name");
        const QString tier = entry.requiredText("tier");
        const QString link = entry.requiredText("vmess_link");
        for (const QString &member : kTextMembers)
            entry.optionalText(member);
        for (const QString &member : kIntMembers)
            entry.optionalInt(member, 0);
        for (const QString &member : kNumberMembers)
            entry.optionalNumber(member, 0);
        for (const QString &member : kBoolMembers)
            entry.optionalBool(member, true);
        if (entry.problem().isEmpty()) {
            entry.require(!ids.contains(id), QStringLiteral("id %1 appears twice").arg(id));
            entry.require(isKnownTier(tier), QStringLiteral("tier \"%1\" is not free or vip").arg(tier));
            const QString problem = linkProblem(link);
            entry.require(problem.isEmpty(), QStringLiteral("\"vmess_link\" %1").arg(problem));
        }
        if (!entry.problem().isEmpty())
            return entry.problem();
        ids.insert(id);
        servers.append(entry.object());
    }
    m_servers = servers;
    return {};
}

QJsonArray ServerCatalogue::list(const QString &tier, const Account *account, const QDateTime &now) const
{
    QJsonArray list;
    for (const QJsonObject &server : m_servers) {
        if (tier.isEmpty() || server.value("tier").toString() == tier)
            list.append(asSeenBy(server, account, now));
    }
    return list;
}

std::optional<QJsonObject> ServerCatalogue::server(int id, const Account *account, const QDateTime &now) const
{
    for (const QJsonObject &server : m_servers) {
        if (server.value("id").toInt() == id)
            return asSeenBy(server, account, now);
    }
    return std::nullopt;
}

bool ServerCatalogue::isKnownTier(const QString &tier)
{
    return tier == u"free" || tier == u"vip";
}

QJsonObject ServerCatalogue::asSeenBy(const QJsonObject &server, const Account *account, const QDateTime &now)
{
    const bool requiresVip = server.value("tier").toString() == u"vip";
    const bool enabled = server.value("is_enabled").toBool(true);
    const bool canConnect = account && enabled && account->mayConnect(now)
        && (!requiresVip || account->isVipActive(now));
    QJsonObject seen = server;
    seen.insert("requires_vip", requiresVip);
    seen.insert("can_connect", canConnect);
    return seen;
}

} // namespace Norvane::LocalBackend
