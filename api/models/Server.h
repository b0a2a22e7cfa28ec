#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

namespace Norvane::Api::Models {

// One of the service's servers as the catalogue describes it. The vmess link is kept exactly as
// sent (plain or encrypted); the connection engine interprets it. Times stay text.
struct Server
{
    int id = 0;
    QString name;
    QString appName;
    QString countryCode;
    QString city;
    QString location;
    QString hostname;
    QString host;
    QString ipAddress;
    QString protocol;
    int port = 443;
    QString transport;
    bool tlsEnabled = true;
    QString sni;
    QString status;
    bool isEnabled = true;
    QString tier;
    QString tierText;
    bool requiresVip = false;
    bool canConnect = false;
    int maxUsers = 0;
    int currentUsers = 0;
    double cpuUsage = 0.0;
    double latitude = 0.0;
    double longitude = 0.0;
    QString vmessLink;
    QString createdAt;
    QString updatedAt;

    static Server fromJson(const QJsonObject &json);
    // Elements that are not objects are skipped (and logged).
    static QList<Server> fromJsonArray(const QJsonArray &array);
};

} // namespace Norvane::Api::Models
