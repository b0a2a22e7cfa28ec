#pragma once

#include "localbackend/LocalBackendServer.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

namespace Norvane::LocalBackend {

// The service's real endpoints on a LocalBackendServer, answered from state that a seed document
// fills: one top-level section per area ("configs" so far). The installed routes call back into
// this object, so it must outlive the server.
class ApiRoutes
{
public:
    // Installs the routes on the server and loads the built-in seed.
    explicit ApiRoutes(LocalBackendServer &server);
    ApiRoutes(const ApiRoutes &) = delete;
    ApiRoutes &operator=(const ApiRoutes &) = delete;

    static QString builtInSeedPath();

    // Replace the whole state from a seed. A malformed seed changes nothing: the result is false,
    // with the reason in *error and in the log.
    bool loadSeed(const QByteArray &json, QString *error = nullptr);
    bool loadSeedFile(const QString &path, QString *error = nullptr);

    // The configuration items by key, as the configuration reply carries them.
    QJsonObject configs() const;
    // Replaces the value of an existing item; the value must suit the item's type. Reply signing
    // follows the encryption items.
    bool setConfigValue(const QString &key, const QJsonValue &value, QString *error = nullptr);

private:
    bool applySeed(const QByteArray &json, const QString &source, QString *error);
    Reply configsReply() const;
    void applyReplySigning();

    LocalBackendServer &m_server;
    QJsonObject m_configs;
};

} // namespace Norvane::LocalBackend
