#pragma once

#include "localbackend/Account.h"
#include "localbackend/Device.h"
#include "localbackend/HeartbeatRecord.h"
#include "localbackend/PaymentOrder.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

namespace Norvane::LocalBackend {

struct RecordedRequest;

// Everything the back end knows, shared by the route installers. A seed fills a fresh state,
// which then replaces the old one whole. The catalogue entries are the seed's objects with every
// optional member filled in.
struct BackendState
{
    QJsonObject configs;              // configuration items by key
    QList<Account> accounts;
    QHash<QString, int> tokens;       // bearer token -> account id
    QHash<QString, Device> devices;   // by device id
    QList<HeartbeatRecord> heartbeats;
    int heartbeatInterval = 30;       // seconds, as heartbeat replies give it
    QList<QJsonObject> servers;
    QList<QJsonObject> plans;
    QList<QJsonObject> announcements;
    QList<PaymentOrder> orders;
    QStringList paymentScript{QStringLiteral("pending"), QStringLiteral("pending"), QStringLiteral("completed")};

    // Configuration values; the fallback when the item is absent.
    bool configBool(const QString &key, bool fallback) const;
    int configInt(const QString &key, int fallback) const;
    QString configText(const QString &key) const;

    Account *account(int id);
    Account *accountByEmail(const QString &email); // e-mail compared without regard to case
    // The account whose token the request's "Authorization: Bearer <token>" carries.
    Account *accountFor(const RecordedRequest &request);
    static QString bearerToken(const RecordedRequest &request);
    // Takes the next free id.
    Account &addAccount(Account account);
    QString issueToken(int accountId);
    void revokeToken(const QString &token);
    // The device with that id, created on first mention.
    Device &device(const QString &id);

    const QJsonObject *plan(int id) const;
    const QJsonObject *server(int id) const;
    PaymentOrder *order(const QString &orderNumber);
    // Takes the next free id and an order number made from it.
    PaymentOrder &addOrder(PaymentOrder order);
};

} // namespace Norvane::LocalBackend
