#include "localbackend/CatalogueRoutes.h"

#include "localbackend/AuthGuard.h"
#include "localbackend/BackendState.h"
#include "localbackend/FieldErrors.h"
#include "localbackend/LocalBackendServer.h"
#include "localbackend/Replies.h"
#include "localbackend/ServerLink.h"

#include <QDateTime>
#include <QJsonArray>

#include <algorithm>

namespace Norvane::LocalBackend {

namespace {

QString currencySymbol(const QString &currency)
{
    if (currency == u"CNY")
        return QStringLiteral("¥");
    if (currency == u"USD")
        return QStringLiteral("$");
    return currency + u' ';
}

// The link in the form the configuration asks for: encrypted while "vpn_encrypt_enabled" is on
// and a key is set, plain otherwise.
QString linkFor(const BackendState &state, const QJsonObject &vmess)
{
    const QString link = ServerLink::plain(vmess);
    const QString key = state.configText("vpn_encrypt_key");
    if (!state.configBool("vpn_encrypt_enabled", false) || key.isEmpty())
        return link;
    return ServerLink::encrypted(link, key);
}

QJsonObject serverJson(const BackendState &state, const QJsonObject &server, const Account &account)
{
    const QJsonObject vmess = server.value("vmess").toObject();
    const QString tier = server.value("tier").toString();
    QJsonObject json = server;
    json.remove("vmess");
    json.insert("host", vmess.value("add"));
    json.insert("ip_address", vmess.value("add"));
    json.insert("protocol", "vmess");
    json.insert("port", vmess.value("port").toString().toInt());
    json.insert("transport", vmess.value("net"));
    json.insert("tls_enabled", vmess.value("tls").toString() == u"tls");
    json.insert("sni", vmess.value("sni"));
    json.insert("tier_text", tier == u"vip" ? QStringLiteral("VIP专线") : QStringLiteral("免费线路"));
    json.insert("requires_vip", tier == u"vip");
    json.insert("can_connect", account.mayConnect(tier, QDateTime::currentDateTimeUtc()));
    json.insert("vmess_link", linkFor(state, vmess));
    return json;
}

Reply servers(const BackendState &state, const RecordedRequest &request, const Account &account)
{
    const QString tier = request.query.queryItemValue("tier");
    if (!tier.isEmpty() && tier != u"free" && tier != u"vip") {
        FieldErrors errors;
        errors.add("tier", QStringLiteral("tier 只能是 free 或 vip"));
        return errors.reply();
    }
    QJsonArray list;
    for (const QJsonObject &server : state.servers) {
        if (server.value("is_enabled").toBool() && (tier.isEmpty() || server.value("tier").toString() == tier))
            list.append(serverJson(state, server, account));
    }
    return Replies::ok(QStringLiteral("获取成功"), list);
}

Reply serverDetail(const BackendState &state, const RecordedRequest &request, const Account &account)
{
    bool isNumber = false;
    const int id = request.pathArgs.value(0).toInt(&isNumber);
    const QJsonObject *server = isNumber ? state.server(id) : nullptr;
    if (!server || !server->value("is_enabled").toBool())
        return Replies::failure(404, QStringLiteral("服务器不存在"));
    return Replies::ok(QStringLiteral("获取成功"), serverJson(state, *server, account));
}

Reply plans(const BackendState &state)
{
    QList<QJsonObject> active;
    std::copy_if(state.plans.cbegin(), state.plans.cend(), std::back_inserter(active),
                 [](const QJsonObject &plan) { return plan.value("is_active").toBool(); });
    std::stable_sort(active.begin(), active.end(), [](const QJsonObject &a, const QJsonObject &b) {
        return a.value("sort_order").toInt() < b.value("sort_order").toInt();
    });
    QJsonArray list;
    for (QJsonObject plan : active) {
        plan.insert("days_text", QStringLiteral("%1天").arg(plan.value("days").toInt()));
        plan.insert("formatted_price", currencySymbol(plan.value("currency").toString())
                                           + QString::number(plan.value("price").toDouble(), 'f', 2));
        list.append(plan);
    }
    return Replies::ok(QStringLiteral("获取成功"), list);
}

Reply announcements(const BackendState &state, const RecordedRequest &request)
{
    const QString platform = request.query.queryItemValue("platform");
    int limit = 0;
    if (request.query.hasQueryItem("limit")) {
        bool isNumber = false;
        limit = request.query.queryItemValue("limit").toInt(&isNumber);
        if (!isNumber || limit < 1) {
            FieldErrors errors;
            errors.add("limit", QStringLiteral("limit 必须是正整数"));
            return errors.reply();
        }
    }
    QList<QJsonObject> shown;
    for (const QJsonObject &announcement : state.announcements) {
        const QStringList platforms = announcement.value("platforms").toVariant().toStringList();
        if (platform.isEmpty() || platforms.contains(platform) || platforms.contains(u"all"))
            shown.append(announcement);
    }
    // Newest first, as the client takes the first one for the newest.
    std::stable_sort(shown.begin(), shown.end(), [](const QJsonObject &a, const QJsonObject &b) {
        const QDateTime aAt = QDateTime::fromString(a.value("published_at").toString(), Qt::ISODate);
        const QDateTime bAt = QDateTime::fromString(b.value("published_at").toString(), Qt::ISODate);
        return aAt != bAt ? aAt > bAt : a.value("id").toInt() > b.value("id").toInt();
    });
    if (limit > 0 && shown.size() > limit)
        shown.resize(limit);
    QJsonArray list;
    for (QJsonObject announcement : shown) {
        announcement.remove("platforms");
        list.append(announcement);
    }
    return Replies::ok(QStringLiteral("获取成功"), list);
}

} // namespace

void CatalogueRoutes::install(LocalBackendServer &server, BackendState &state)
{
    server.route("GET", "/api/v1/configs", [&state](const RecordedRequest &) {
        return Replies::ok(QStringLiteral("获取成功"), state.configs);
    });
    server.route("GET", "/api/v1/servers",
                 AuthGuard::require(state, [&state](const RecordedRequest &request, Account &account) {
                     return servers(state, request, account);
                 }));
    server.route("GET", "/api/v1/servers/{}",
                 AuthGuard::require(state, [&state](const RecordedRequest &request, Account &account) {
                     return serverDetail(state, request, account);
                 }));
    server.route("GET", "/api/v1/plans", [&state](const RecordedRequest &) { return plans(state); });
    server.route("GET", "/api/v1/announcements",
                 [&state](const RecordedRequest &request) { return announcements(state, request); });
}

} // namespace Norvane::LocalBackend
