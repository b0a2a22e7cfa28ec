#include "localbackend/ApiRoutes.h"

#include "localbackend/AccountRoutes.h"
#include "localbackend/CatalogueRoutes.h"
#include "localbackend/Envelope.h"
#include "localbackend/PaymentRoutes.h"
#include "localbackend/TrialRoutes.h"

#include <QDebug>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

namespace Norvane::LocalBackend {

namespace {

const QString kConfigsSection = QStringLiteral("configs");
const QStringList kListSections{"accounts", "servers", "plans", "announcements"};

QString structureProblem(const QByteArray &json, QJsonObject *seed)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return QStringLiteral("not valid JSON: %1 at offset %2")
            .arg(parseError.errorString())
            .arg(parseError.offset);
    }
    if (!document.isObject())
        return QStringLiteral("not a JSON object");
    *seed = document.object();
    for (auto it = seed->constBegin(); it != seed->constEnd(); ++it) {
        if (it.key() == kConfigsSection) {
            if (!it.value().isObject())
                return QStringLiteral("section \"%1\" is not an object").arg(it.key());
        } else if (kListSections.contains(it.key())) {
            if (!it.value().isArray())
                return QStringLiteral("section \"%1\" is not an array").arg(it.key());
        } else {
            return QStringLiteral("unknown section \"%1\"").arg(it.key());
        }
    }
    if (!seed->contains(kConfigsSection))
        return QStringLiteral("no \"configs\" section");
    return {};
}

bool fail(const QString &message, QString *error)
{
    qWarning().noquote() << "[ApiRoutes]" << message;
    if (error)
        *error = message;
    return false;
}

bool accepted(const QString &problem, QString *error)
{
    return problem.isEmpty() || fail(problem, error);
}

} // namespace

ApiRoutes::ApiRoutes(LocalBackendServer &server)
    : m_server(server),
      m_accountRoutes(std::make_unique<AccountRoutes>(server, m_accounts, m_configs)),
      m_catalogueRoutes(std::make_unique<CatalogueRoutes>(server, m_accounts, m_servers, m_plans, m_announcements)),
      m_paymentRoutes(std::make_unique<PaymentRoutes>(server, m_accounts, m_plans, m_orders)),
      m_heartbeatRoutes(std::make_unique<HeartbeatRoutes>(server, m_accounts)),
      m_trialRoutes(std::make_unique<TrialRoutes>(server, m_accounts, m_configs))
{
    m_server.route("GET", "/api/v1/configs", [this](const RecordedRequest &) { return configsReply(); });
    loadSeedFile(builtInSeedPath());
}

ApiRoutes::~ApiRoutes() = default;

QString ApiRoutes::builtInSeedPath()
{
    return QStringLiteral(":/localbackend/seed.json");
}

bool ApiRoutes::loadSeed(const QByteArray &json, QString *error)
{
    return applySeed(json, QStringLiteral("seed"), error);
}

bool ApiRoutes::loadSeedFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read seed file %1: %2").arg(path, file.errorString()), error);
    return applySeed(file.readAll(), path, error);
}

// Every section is read into fresh state first, so a problem anywhere leaves all as it was.
bool ApiRoutes::applySeed(const QByteArray &json, const QString &source, QString *error)
{
    QJsonObject seed;
    QString problem = structureProblem(json, &seed);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    ConfigItems configs;
    AccountStore accounts;
    ServerCatalogue servers;
    PlanCatalogue plans;
    AnnouncementBoard announcements;
    if (problem.isEmpty())
        problem = configs.load(seed.value(kConfigsSection).toObject());
    if (problem.isEmpty())
        problem = accounts.load(seed.value("accounts").toArray(), now);
    if (problem.isEmpty())
        problem = servers.load(seed.value("servers").toArray());
    if (problem.isEmpty())
        problem = plans.load(seed.value("plans").toArray(), now);
    if (problem.isEmpty())
        problem = announcements.load(seed.value("announcements").toArray(), now);
    if (!problem.isEmpty())
        return fail(QStringLiteral("%1: %2").arg(source, problem), error);

    m_configs = configs;
    m_accounts = accounts;
    m_servers = servers;
    m_plans = plans;
    m_announcements = announcements;
    m_orders.clear();
    m_heartbeatRoutes->reset();
    applyReplySigning();
    qDebug().noquote() << "[ApiRoutes] loaded" << source << "with" << m_configs.items().size()
                       << "configuration items," << m_accounts.accounts().size() << "accounts,"
                       << seed.value("servers").toArray().size() << "servers,"
                       << seed.value("plans").toArray().size() << "plans and"
                       << seed.value("announcements").toArray().size() << "announcements";
    return true;
}

QJsonObject ApiRoutes::configs() const
{
    return m_configs.items();
}

bool ApiRoutes::setConfigValue(const QString &key, const QJsonValue &value, QString *error)
{
    if (!accepted(m_configs.setValue(key, value), error))
        return false;
    applyReplySigning();
    return true;
}

std::optional<Account> ApiRoutes::account(const QString &email) const
{
    const Account *found = m_accounts.find(email);
    return found ? std::optional<Account>(*found) : std::nullopt;
}

bool ApiRoutes::setNextPaymentScript(const QStringList &statuses, QString *error)
{
    return accepted(m_orders.setNextScript(statuses), error);
}

bool ApiRoutes::setPaymentScript(const QString &orderNumber, const QStringList &statuses, QString *error)
{
    return accepted(m_orders.setScript(orderNumber, statuses), error);
}

QList<PaymentOrder> ApiRoutes::orders() const
{
    return m_orders.orders();
}

void ApiRoutes::setDeviceStatus(const DeviceStatus &status)
{
    m_heartbeatRoutes->setDeviceStatus(status);
}

DeviceStatus ApiRoutes::deviceStatus() const
{
    return m_heartbeatRoutes->deviceStatus();
}

bool ApiRoutes::setHeartbeatInterval(int seconds, QString *error)
{
    return accepted(m_heartbeatRoutes->setIntervalSeconds(seconds), error);
}

int ApiRoutes::heartbeatInterval() const
{
    return m_heartbeatRoutes->intervalSeconds();
}

QList<HeartbeatRecord> ApiRoutes::heartbeats() const
{
    return m_heartbeatRoutes->records();
}

Reply ApiRoutes::configsReply() const
{
    return Envelope::ok(QStringLiteral("获取成功"), m_configs.items());
}

// The back end signs its successful replies while the configuration it hands out says so.
void ApiRoutes::applyReplySigning()
{
    const bool enabled = m_configs.boolValue("api_encrypt_enabled");
    const QString secret = m_configs.textValue("api_secret_key");
    m_server.setSigning(enabled && !secret.isEmpty(), secret);
}

} // namespace Norvane::LocalBackend
