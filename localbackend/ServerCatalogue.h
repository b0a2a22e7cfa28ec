#pragma once

#include "localbackend/Account.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace Norvane::LocalBackend {

// The service's servers of the tiers "free" and "vip", each with its vmess link. The seed gives
// each server in the reply's own form; "requires_vip" follows the tier and "can_connect" is
// worked out for the account that asks.
class ServerCatalogue
{
public:
    // Takes the seed's "servers" section; returns what is wrong with it, empty when it is good.
    QString load(const QJsonArray &section);

    // In seed order; an empty tier gives every server. Without an account nothing can connect.
    QJsonArray list(const QString &tier, const Account *account, const QDateTime &now) const;
    std::optional<QJsonObject> server(int id, const Account *account, const QDateTime &now) const;

    static bool isKnownTier(const QString &tier);

private:
    static QJsonObject asSeenBy(const QJsonObject &server, const Account *account, const QDateTime &now);

    QList<QJsonObject> m_servers;
};

} // namespace Norvane::LocalBackend
