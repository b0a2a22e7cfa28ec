#include "support/ServerLinks.h"

#include "api/models/Server.h"
#include "api/services/ServerService.h"
#include "localbackend/ApiRoutes.h"
#include "support/Outcome.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

QString vmessLinkTo(const QString &address, const QString &prefix)
{
    const QJsonObject server{{"v", "2"}, {"ps", "测试节点"}, {"add", address}, {"port", "443"},
                             {"id", "b831381d-6324-4d53-ad4f-8cda48b30811"}, {"aid", "0"}, {"net", "tcp"}};
    return prefix + QString::fromLatin1(QJsonDocument(server).toJson(QJsonDocument::Compact).toBase64());
}

QString firstListedServerLink()
{
    Outcome<QList<Norvane::Api::Models::Server>> servers;
    Norvane::Api::Services::ServerService::instance()->getAllServers(servers.callback());
    if (!servers.wait() || !servers.success || servers.result.isEmpty())
        return {};
    return servers.result.first().vmessLink;
}

bool seedSingleServer(Norvane::LocalBackend::ApiRoutes &routes, const QString &link)
{
    using Norvane::LocalBackend::ApiRoutes;
    QFile file(ApiRoutes::builtInSeedPath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QJsonObject seed = QJsonDocument::fromJson(file.readAll()).object();
    QJsonObject server = seed.value("servers").toArray().first().toObject();
    server.insert("vmess_link", link);
    seed.insert("servers", QJsonArray{server});
    QString error;
    const bool loaded = routes.loadSeed(QJsonDocument(seed).toJson(), &error);
    if (!loaded)
        qWarning().noquote() << "the seed was refused:" << error;
    return loaded;
}
