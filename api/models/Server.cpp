#include "api/models/Server.h"

#include <QDebug>
#include <QJsonValue>

namespace Norvane::Api::Models {

Server Server::fromJson(const QJsonObject &json)
{
    // Each member keeps its default when the key is missing or holds another JSON type.
    Server server;
    server.id = json.value(QStringLiteral("id")).toInt(server.id);
    server.name = json.value(QStringLiteral("name")).toString();
    server.appName = json.value(QStringLiteral("app_name")).toString();
    server.countryCode = json.value(QStringLiteral("country_code")).toString();
    server.city = json.value(QStringLiteral("city")).toString();
    server.location = json.value(QStringLiteral("location")).toString();
    server.hostname = json.value(QStringLiteral("hostname")).toString();
    server.host = json.value(QStringLiteral("host")).toString();
    server.ipAddress = json.value(QStringLiteral("ip_address")).toString();
    server.protocol = json.value(QStringLiteral("protocol")).toString();
    server.port = json.value(QStringLiteral("port")).toInt(server.port);
    server.transport = json.value(QStringLiteral("transport")).toString();
    server.tlsEnabled = json.value(QStringLiteral("tls_enabled")).toBool(server.tlsEnabled);
    server.sni = json.value(QStringLiteral("sni")).toString();
    server.status = json.value(QStringLiteral("status")).toString();
    server.isEnabled = json.value(QStringLiteral("is_enabled")).toBool(server.isEnabled);
    server.tier = json.value(QStringLiteral("tier")).toString();
    server.tierText = json.value(QStringLiteral("tier_text")).toString();
    server.requiresVip = json.value(QStringLiteral("requires_vip")).toBool(server.requiresVip);
    server.canConnect = json.value(QStringLiteral("can_connect")).toBool(server.canConnect);
    server.maxUsers = json.value(QStringLiteral("max_users")).toInt(server.maxUsers);
    server.currentUsers = json.value(QStringLiteral("current_users")).toInt(server.currentUsers);
    server.cpuUsage = json.value(QStringLiteral("cpu_usage")).toDouble(server.cpuUsage);
    server.latitude = json.value(QStringLiteral("latitude")).toDouble(server.latitude);
    server.longitude = json.value(QStringLiteral("longitude")).toDouble(server.longitude);
    server.vmessLink = json.value(QStringLiteral("vmess_link")).toString();
    server.createdAt = json.value(QStringLiteral("created_at")).toString();
    server.updatedAt = json.value(QStringLiteral("updated_at")).toString();
    return server;
}

QList<Server> Server::fromJsonArray(const QJsonArray &array)
{
    QList<Server> servers;
    for (qsizetype index = 0; index < array.size(); ++index) {
        const QJsonValue element = array.at(index);
        if (!element.isObject()) {
            qWarning() << "[Server] 忽略不是对象的服务器数据, 位置:" << index;
            continue;
        }
        servers.append(fromJson(element.toObject()));
    }
    return servers;
}

} // namespace Norvane::Api::Models
