#include "api/services/ServerService.h"

#include "api/network/HttpClient.h"

#include <QDebug>
#include <QJsonValue>

namespace Norvane::Api::Services {

using Network::ApiResponse;
using Network::HttpClient;

ServerService *ServerService::instance()
{
    static ServerService service;
    return &service;
}

ServerService::ServerService()
{
    // The client must exist first so that it outlives this service at process exit.
    HttpClient::instance();
    qDebug() << "[ServerService] 初始化完成";
}

void ServerService::getServersByTier(const QString &tier, ServersCallback callback)
{
    qDebug() << "[ServerService] 获取服务器列表, tier:" << (tier.isEmpty() ? QStringLiteral("all") : tier);
    HttpClient::QueryItems query;
    if (!tier.isEmpty())
        query.insert(QStringLiteral("tier"), tier);
    HttpClient::instance()->get(
        QStringLiteral("servers"),
        [this, callback](const ApiResponse &response) { handleListReply(response, callback); }, query);
}

void ServerService::getAllServers(ServersCallback callback)
{
    getServersByTier(QString(), std::move(callback));
}

void ServerService::getFreeServers(ServersCallback callback)
{
    getServersByTier(QStringLiteral("free"), std::move(callback));
}

void ServerService::getVipServers(ServersCallback callback)
{
    getServersByTier(QStringLiteral("vip"), std::move(callback));
}

void ServerService::getServerById(int serverId, ServerCallback callback)
{
    qDebug() << "[ServerService] 获取服务器详情, ID:" << serverId;
    HttpClient::instance()->get(
        QStringLiteral("%1/%2").arg(QStringLiteral("servers")).arg(serverId),
        [this, callback](const ApiResponse &response) { handleDetailReply(response, callback); });
}

void ServerService::clearCache()
{
    m_servers.clear();
    qDebug() << "[ServerService] 服务器缓存已清除";
}

void ServerService::handleListReply(const ApiResponse &response, const ServersCallback &callback)
{
    // A 2xx that is not a JSON object (a captive portal, a proxy's error page) is no list:
    // it must not empty the cached one.
    const bool unusable = response.isSuccess() && !response.hasJsonObjectBody();
    if (!response.isSuccess() || unusable) {
        const QString message = unusable ? QStringLiteral("响应数据无效") : response.errorMessage();
        if (callback)
            callback(false, message, {});
        qDebug() << "[ServerService] 获取服务器列表失败:" << message;
        return;
    }

    const QJsonValue data = response.json.value(QStringLiteral("data"));
    if (!data.isArray())
        qWarning() << "[ServerService] 服务器列表响应没有data数组, 按空列表处理";
    const QList<Models::Server> servers = Models::Server::fromJsonArray(data.toArray());
    m_servers = servers;
    if (callback)
        callback(true, QStringLiteral("获取成功"), servers);
    emit serversUpdated(servers);
    qDebug() << "[ServerService] 服务器列表获取成功, 数量:" << servers.size();
}

void ServerService::handleDetailReply(const ApiResponse &response, const ServerCallback &callback)
{
    if (!response.isSuccess()) {
        const QString message = response.errorMessage();
        if (callback)
            callback(false, message, Models::Server());
        qDebug() << "[ServerService] 获取服务器详情失败:" << message;
        return;
    }

    const QJsonValue data = response.json.value(QStringLiteral("data"));
    if (!data.isObject())
        qWarning() << "[ServerService] 服务器详情响应没有data对象, 按空对象处理";
    const Models::Server server = Models::Server::fromJson(data.toObject());
    if (callback)
        callback(true, QStringLiteral("获取成功"), server);
    qDebug() << "[ServerService] 服务器详情获取成功:" << server.name;
}

} // namespace Norvane::Api::Services
