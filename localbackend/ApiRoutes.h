#pragma once

#include "localbackend/Account.h"
#include "localbackend/AccountStore.h"
#include "localbackend/AnnouncementBoard.h"
#include "localbackend/ConfigItems.h"
#include "localbackend/HeartbeatRoutes.h"
#include "localbackend/LocalBackendServer.h"
#include "localbackend/OrderBook.h"
#include "localbackend/PaymentOrder.h"
#include "localbackend/PlanCatalogue.h"
#include "localbackend/ServerCatalogue.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace Norvane::LocalBackend {

class AccountRoutes;
class CatalogueRoutes;
class PaymentRoutes;
class TrialRoutes;

// The service's whole API on a LocalBackendServer, answered from state that a seed document
// fills: the sections "configs" (required), "accounts", "servers", "plans" and
// "announcements". The installed routes call back into this object, so it must outlive the
// server. Tests steer and read the state through the rest of the interface.
class ApiRoutes
{
public:
    // Installs the routes on the server and loads the built-in seed.
    explicit ApiRoutes(LocalBackendServer &server);
    ~ApiRoutes();
    ApiRoutes(const ApiRoutes &) = delete;
    ApiRoutes &operator=(const ApiRoutes &) = delete;

    static QString builtInSeedPath();

    // Replace the whole state from a seed: accounts, tokens, catalogue, orders and heartbeats.
    // A malformed seed changes nothing: the result is false, with the reason in *error and in
    // the log.
    bool loadSeed(const QByteArray &json, QString *error = nullptr);
    bool loadSeedFile(const QString &path, QString *error = nullptr);

    // The configuration items by key, as the configuration reply carries them.
    QJsonObject configs() const;
    // Replaces the value of an existing item; the value must suit the item's type. Reply signing
    // follows the encryption items.
    bool setConfigValue(const QString &key, const QJsonValue &value, QString *error = nullptr);

    std::optional<Account> account(const QString &email) const;

    // Status words answered one per status query, the last one repeating; the default script
    // is "pending", "pending", "completed".
    bool setNextPaymentScript(const QStringList &statuses, QString *error = nullptr);
    bool setPaymentScript(const QString &orderNumber, const QStringList &statuses, QString *error = nullptr);
    QList<PaymentOrder> orders() const;

    void setDeviceStatus(const DeviceStatus &status);
    DeviceStatus deviceStatus() const;
    bool setHeartbeatInterval(int seconds, QString *error = nullptr);
    int heartbeatInterval() const;
    QList<HeartbeatRecord> heartbeats() const;

private:
    bool applySeed(const QByteArray &json, const QString &source, QString *error);
    Reply configsReply() const;
    void applyReplySigning();

    LocalBackendServer &m_server;
    ConfigItems m_configs;
    AccountStore m_accounts;
    ServerCatalogue m_servers;
    PlanCatalogue m_plans;
    AnnouncementBoard m_announcements;
    OrderBook m_orders;
    std::unique_ptr<AccountRoutes> m_accountRoutes;
    std::unique_ptr<CatalogueRoutes> m_catalogueRoutes;
    std::unique_ptr<PaymentRoutes> m_paymentRoutes;
    std::unique_ptr<HeartbeatRoutes> m_heartbeatRoutes;
    std::unique_ptr<TrialRoutes> m_trialRoutes;
};

} // namespace Norvane::LocalBackend
