#include "support/ConnectionTestRig.h"

#include "api/models/User.h"
#include "api/network/HttpClient.h"
#include "api/security/TokenManager.h"
#include "api/services/VpnConnectionService.h"
#include "api/vpn/SystemProxyBackup.h"
#include "api/vpn/V2RayCore.h"
#include "support/ConnectionEvents.h"
#include "support/StandInMachine.h"
#include "support/TestEnvironment.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QNetworkReply>
#include <QTest>

using namespace Norvane::Api;
using Norvane::LocalBackend::RecordedRequest;
using Norvane::LocalBackend::Reply;
using Services::VpnConnectionService;

namespace {

VpnConnectionService *service()
{
    return VpnConnectionService::instance();
}

Models::User vipUser()
{
    Models::User record;
    record.id = 42;
    record.email = QStringLiteral("user@norvane.local");
    record.status = QStringLiteral("active");
    record.isVip = true;
    record.vipExpiresAt = QDateTime::currentDateTime().addDays(30);
    return record;
}

bool made(bool done, const char *what)
{
    if (!done)
        qWarning("the connection rig could not make %s", what);
    return done;
}

} // namespace

ConnectionTestRig::ConnectionTestRig() = default;

ConnectionTestRig::~ConnectionTestRig() = default;

bool ConnectionTestRig::prepare()
{
    if (!m_backend.start() || !made(m_dir.isValid(), "its folder"))
        return false;
    const QDir dir(m_dir.path());
    // The configuration file has one fixed name in the temporary folder: a private one.
    if (!made(dir.mkpath(QStringLiteral("tmp")), "the temporary folder"))
        return false;
    qputenv("TMPDIR", dir.filePath(QStringLiteral("tmp")).toLocal8Bit());
    if (!made(configPath().startsWith(m_dir.path()), "a private configuration path"))
        return false;

    m_resources = dir.filePath(QStringLiteral("resources/vpn"));
    if (!made(dir.mkpath(QStringLiteral("resources/vpn/x32"))
                  && QFile::link(TestEnvironment::helperPath(QStringLiteral("norvane_fake_core")),
                                 m_resources + QStringLiteral("/x32/xray.exe")),
              "the fake core"))
        return false;
    m_coreLog = dir.filePath(QStringLiteral("core.log"));
    qputenv("NORVANE_FAKE_CORE_LOG", m_coreLog.toLocal8Bit());

    m_backend.backend().route("POST", "/api/v1/heartbeat", [this](const RecordedRequest &) {
        if (m_heartbeatReply)
            return *m_heartbeatReply;
        return Reply::json(QJsonObject{
            {"success", true},
            {"data", QJsonObject{{"interval", 30},
                                 {"user_status", QJsonObject{{"is_vip", true}, {"trial_hours_remaining", 5.0}}},
                                 {"device_status", QJsonObject{{"status", "active"}, {"force_disconnect", false}}}}}});
    });
    Network::HttpClient::instance()->setAuthToken(QStringLiteral("vpn-test-token"));
    return true;
}

void ConnectionTestRig::reset()
{
    QFile::remove(m_coreLog);
    QFile::remove(configPath());
    qunsetenv("NORVANE_FAKE_CORE_SCRIPT");
    Vpn::V2RayCore *core = service()->proxyCore();
    core->setResourcePath(m_resources);
    core->setConnectDelay(kConnectDelayMs);
    // Traffic ticks only where a test asks for them.
    core->setStatsInterval(600000);
    service()->setDurationTickInterval(VpnConnectionService::kDurationTickMs);
    service()->setRoutingMode(VpnConnectionService::GlobalRouting);
    // Every test is a sign-in of its own, so nothing of the last test's session carries over.
    service()->onUserLogout();
    service()->updateUserInfo(vipUser());
    Security::TokenManager::instance()->saveVpnEncryptConfig(QString(), false);
    m_machine = std::make_unique<StandInMachine>();
    if (Vpn::SystemProxyBackup::isActive())
        Vpn::SystemProxyBackup::release();
    m_backend.reset();
    m_heartbeatReply.reset();
    m_events = std::make_unique<ConnectionEvents>(service());
}

void ConnectionTestRig::finish()
{
    m_events.reset();
    service()->disconnect();
    const VpnConnectionService::VpnConnectionState state = service()->state();
    // Every beat still on its way must arrive before the next test counts beats. The clean-up
    // runs to its end before anything is checked, so that one failure spoils no later test.
    const bool beatsArrived = QTest::qWaitFor(
        []() { return Network::HttpClient::instance()->findChildren<QNetworkReply *>().isEmpty(); }, 5000);
    m_machine.reset();
    QCOMPARE(state, VpnConnectionService::Disconnected);
    QVERIFY2(beatsArrived, "requests still open after the disconnect");
}

QString ConnectionTestRig::configPath() const
{
    return Norvane::Api::Vpn::V2RayCore::configFilePath();
}

bool ConnectionTestRig::connectAndWait(int serverId, const QString &link)
{
    return service()->connect(serverId, link) && m_events->waitFor(QStringLiteral("success"));
}

QList<QJsonObject> ConnectionTestRig::beats() const
{
    QList<QJsonObject> bodies;
    for (const RecordedRequest &request : m_backend.backend().requests("POST", "/api/v1/heartbeat"))
        bodies << request.jsonBody();
    return bodies;
}

QStringList ConnectionTestRig::beatStatuses() const
{
    QStringList statuses;
    for (const QJsonObject &beat : beats())
        statuses << beat.value("connection_status").toString();
    return statuses;
}
