#pragma once

#include "api/models/Server.h"
#include "api/network/ApiResponse.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

namespace Norvane::Api::Services {

// Fetches the server list (optionally by tier) and single servers, and keeps the last list.
class ServerService : public QObject
{
    Q_OBJECT

public:
    using ServersCallback =
        std::function<void(bool success, const QString &message, const QList<Models::Server> &servers)>;
    using ServerCallback =
        std::function<void(bool success, const QString &message, const Models::Server &server)>;

    static ServerService *instance();

    void getServersByTier(const QString &tier, ServersCallback callback = {});
    void getAllServers(ServersCallback callback = {});
    void getFreeServers(ServersCallback callback = {});
    void getVipServers(ServersCallback callback = {});
    void getServerById(int serverId, ServerCallback callback = {});
    void clearCache();

    QList<Models::Server> cachedServers() const { return m_servers; }

signals:
    void serversUpdated(const QList<Models::Server> &servers);
    void serverSelected(const Models::Server &server);

private:
    ServerService();

    void handleListReply(const Network::ApiResponse &response, const ServersCallback &callback);
    void handleDetailReply(const Network::ApiResponse &response, const ServerCallback &callback);

    QList<Models::Server> m_servers;
};

} // namespace Norvane::Api::Services
