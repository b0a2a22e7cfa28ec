#include "api/network/HttpClient.h"
#include "api/security/TokenManager.h"
#include "api/services/ApiManager.h"
#include "api/services/HeartbeatService.h"
#include "api/services/VpnConnectionService.h"
#include "api/vpn/SystemProxyBackup.h"
#include "api/vpn/V2RayCore.h"
#include "localbackend/ApiRoutes.h"
#include "localbackend/LocalBackendServer.h"
#include "support/FixedReplyHttpServer.h"
#include "support/LocalPort.h"
#include "support/Outcome.h"
#include "support/ProxyCoreProcesses.h"
#include "support/ServerLinks.h"
#include "support/Socks5HttpClient.h"
#include "support/StandInMachine.h"
#include "support/TestEnvironment.h"
#include "support/VmessTestServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Norvane::Api;
using Norvane::LocalBackend::ApiRoutes;
using Norvane::LocalBackend::DeviceStatus;
using Norvane::LocalBackend::HeartbeatRecord;
using Norvane::LocalBackend::LocalBackendServer;
using Services::HeartbeatService;
using Services::VpnConnectionService;

namespace {

constexpr quint16 kMixedPort = 10315;
constexpr quint16 kDnsPort = 16450;
const QString kTunnelOnlyName = QStringLiteral("tunnel-only.test");
const QByteArray kBody = "answered behind the vmess server";
const QString kDemoEmail = QStringLiteral("demo@norvane.local");
const QString kDemoPassword = QStringLiteral("demo1234");
const QString kKickedText = QStringLiteral("您的账号在其他设备登录，已被强制下线");
const QString kUserServer = QStringLiteral("http=corp.example:8080");
const QString kUserVariable = QStringLiteral("http://corp.example:8080");
const QStringList kDisconnectSequence{"state:3", "state:0", "disconnected"};

QStringList statusesOf(const QList<HeartbeatRecord> &records)
{
    QStringList statuses;
    for (const HeartbeatRecord &record : records)
        statuses << record.connectionStatus;
    return statuses;
}

} // namespace

// The main road of the connection engine with the real proxy-core stand-in (Debian's v2ray
// behind it), the platform's command stand-ins and the local back end.
class EngineEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void connectsTunnelsAndUndoesEverything_data();
    void connectsTunnelsAndUndoesEverything();
    void backEndForcesTheDisconnect();

private:
    VpnConnectionService *service() const { return VpnConnectionService::instance(); }
    QString signInAndFetchLink();
    void giveUserProxy();
    void verifyNothingIsLeft();
    QString configPath() const { return m_configPath; }

    QTemporaryDir m_tmp;
    QString m_configPath;
    std::unique_ptr<LocalBackendServer> m_backend;
    std::unique_ptr<ApiRoutes> m_routes;
    std::unique_ptr<StandInMachine> m_machine;
    QObject *m_context = nullptr;
    QStringList m_events;
};

void EngineEndToEndTest::initTestCase()
{
    TestEnvironment::isolate();
    QVERIFY(m_tmp.isValid());
    qputenv("TMPDIR", m_tmp.path().toLocal8Bit());
    m_configPath = Vpn::V2RayCore::configFilePath();
    QVERIFY2(m_configPath.startsWith(m_tmp.path() + QLatin1Char('/')), qPrintable(m_configPath));
    QVERIFY2(QFileInfo(proxyCorePath()).isExecutable(), qPrintable(proxyCorePath()));
    QVERIFY2(QFileInfo(QStringLiteral("/usr/bin/v2ray")).isExecutable(), "install the v2ray package");

    m_backend = std::make_unique<LocalBackendServer>();
    m_routes = std::make_unique<ApiRoutes>(*m_backend);
    QVERIFY(m_backend->listen());
    ApiManager::instance();

    // The engine runs the core that ships beside the program; read the waits before shortening.
    Vpn::V2RayCore *core = service()->proxyCore();
    QCOMPARE(core->resourcePath(), QCoreApplication::applicationDirPath() + QStringLiteral("/resources/vpn"));
    QCOMPARE(core->connectDelay(), 2000);
    QCOMPARE(HeartbeatService::instance()->defaultIntervalMs(), 30000);
    QCOMPARE(service()->durationTickInterval(), 1000);
    core->setConnectDelay(500);
    HeartbeatService::instance()->setDefaultIntervalMs(200);
}

void EngineEndToEndTest::init()
{
    QVERIFY2(LocalPort::isFree(kMixedPort) && LocalPort::isFree(kDnsPort),
             "ports 10315 and 16450 of 127.0.0.1 are taken by another program");
    Network::HttpClient::instance()->setBaseUrl(m_backend->baseUrl().toString());
    if (!Security::TokenManager::instance()->token().isEmpty())
        Security::TokenManager::instance()->logout();
    Network::HttpClient::instance()->clearAuthToken();
    m_machine = std::make_unique<StandInMachine>();
    if (Vpn::SystemProxyBackup::isActive())
        Vpn::SystemProxyBackup::release();

    m_events.clear();
    m_context = new QObject(this);
    QObject::connect(service(), &VpnConnectionService::connectionStateChanged, m_context,
                     [this](VpnConnectionService::VpnConnectionState state) {
                         m_events << QStringLiteral("state:%1").arg(int(state));
                     });
    QObject::connect(service(), &VpnConnectionService::connectionSuccess, m_context,
                     [this]() { m_events << QStringLiteral("success"); });
    QObject::connect(service(), &VpnConnectionService::disconnected, m_context,
                     [this]() { m_events << QStringLiteral("disconnected"); });
    QObject::connect(service(), &VpnConnectionService::forceDisconnected, m_context,
                     [this](const QString &message) { m_events << QStringLiteral("forced:") + message; });
    QObject::connect(service(), &VpnConnectionService::connectionFailed, m_context,
                     [this](VpnConnectionService::ConnectionFailureReason reason, const QString &message) {
                         m_events << QStringLiteral("failed:%1:%2").arg(int(reason)).arg(message);
                     });
}

void EngineEndToEndTest::cleanup()
{
    delete m_context;
    m_context = nullptr;
    service()->disconnect();
    // The last heartbeat's answer arrives before the back end is reloaded.
    Network::HttpClient::instance()->finishOpenRequests();
    m_machine.reset();
}

// Signs in through the client's services, hands the standing to the engine and returns the
// link of the first server as the back end lists it.
QString EngineEndToEndTest::signInAndFetchLink()
{
    Outcome<Models::User> login;
    ApiManager::instance()->login(kDemoEmail, kDemoPassword, login.callback());
    if (!login.wait() || !login.success)
        return {};
    service()->updateUserInfo(Security::TokenManager::instance()->getUser());
    return firstListedServerLink();
}

void EngineEndToEndTest::giveUserProxy()
{
    QVERIFY(m_machine->setProxyEnable(1));
    QVERIFY(m_machine->setProxyServer(kUserServer));
    QVERIFY(m_machine->setVariable("http_proxy", kUserVariable));
}

void EngineEndToEndTest::verifyNothingIsLeft()
{
    QCOMPARE(m_machine->internetSetting("ProxyEnable"), StandInMachine::dword(1));
    QCOMPARE(m_machine->internetSetting("ProxyServer"), StandInMachine::text(kUserServer));
    QCOMPARE(m_machine->state().value("environment").toObject(),
             (QJsonObject{{"http_proxy", kUserVariable}, {"https_proxy", ""}}));
    QVERIFY(!QFile::exists(configPath()));
    QCOMPARE(proxyCoreProcessIds(), QList<qint64>());
    QVERIFY(LocalPort::isFree(kMixedPort));
    QVERIFY(LocalPort::isFree(kDnsPort));
    QVERIFY(!HeartbeatService::instance()->isAutoHeartbeatRunning());
    QTRY_COMPARE(statusesOf(m_routes->heartbeats()).last(), QStringLiteral("disconnected"));
}

void EngineEndToEndTest::connectsTunnelsAndUndoesEverything_data()
{
    QTest::addColumn<QString>("network");
    QTest::newRow("tcp") << "tcp";
    QTest::newRow("ws") << "ws";
}

void EngineEndToEndTest::connectsTunnelsAndUndoesEverything()
{
    QFETCH(QString, network);

    VmessTestServer vmessServer;
    QVERIFY2(vmessServer.start(network, QStringLiteral("/tunnel"), nullptr, kTunnelOnlyName),
             qPrintable(vmessServer.errorString()));
    FixedReplyHttpServer http(kBody);
    QVERIFY(http.listen());
    QVERIFY(seedSingleServer(*m_routes, VmessTestServer::clientLink(vmessServer.port(), network)));
    const QString link = signInAndFetchLink();
    QCOMPARE(link, VmessTestServer::clientLink(vmessServer.port(), network));
    giveUserProxy();

    QVERIFY(service()->connect(1, link));
    QVERIFY(QTest::qWaitFor([this]() { return m_events.contains("success"); }, 10000));
    QCOMPARE(m_events, (QStringList{"state:1", "state:2", "success"}));
    QCOMPARE(m_machine->internetSetting("ProxyEnable"), StandInMachine::dword(1));
    QCOMPARE(m_machine->internetSetting("ProxyServer"), StandInMachine::text("socks=127.0.0.1:10315"));
    QVERIFY(QFile::exists(configPath()));
    QCOMPARE(proxyCoreProcessIds().size(), 1);

    // Only the vmess server's own DNS knows the name: an answer proves the tunnel carried it.
    QVERIFY(LocalPort::waitUntilServed(kMixedPort, 5000));
    const Socks5HttpClient::Result result = Socks5HttpClient::get(kMixedPort, kTunnelOnlyName, http.port());
    QVERIFY2(result.error.isEmpty(), qPrintable(result.error + QLatin1Char('\n') + vmessServer.output()));
    QCOMPARE(result.body, kBody);
    QCOMPARE(http.requestCount(), 1);
    const QString destination = QStringLiteral("accepted tcp:%1:%2").arg(kTunnelOnlyName).arg(http.port());
    QVERIFY2(vmessServer.output().contains(destination), qPrintable(vmessServer.output()));

    // Heartbeats of this account and device reach the back end while connected.
    QTRY_VERIFY(m_routes->heartbeats().size() >= 3);
    const int accountId = m_routes->account(kDemoEmail)->id;
    for (const HeartbeatRecord &record : m_routes->heartbeats()) {
        QCOMPARE(record.accountId, accountId);
        QCOMPARE(record.deviceId, Security::TokenManager::instance()->getDeviceId());
        QCOMPARE(record.connectionStatus, QStringLiteral("connected"));
    }
    QVERIFY(service()->isConnected());

    service()->disconnect();
    QCOMPARE(m_events, QStringList({"state:1", "state:2", "success"}) + kDisconnectSequence);
    verifyNothingIsLeft();
}

void EngineEndToEndTest::backEndForcesTheDisconnect()
{
    // No vmess server is needed: the core runs all the same.
    QVERIFY(seedSingleServer(*m_routes, VmessTestServer::clientLink(LocalPort::pickFree(), QStringLiteral("tcp"))));
    const QString link = signInAndFetchLink();
    QVERIFY(!link.isEmpty());
    giveUserProxy();
    QVERIFY(service()->connect(1, link));
    QVERIFY(QTest::qWaitFor([this]() { return m_events.contains("success"); }, 10000));
    QTRY_VERIFY(m_routes->heartbeats().size() >= 2);

    // The back end orders once: the farewell beat's answer no longer carries the order.
    QObject::connect(service(), &VpnConnectionService::forceDisconnected, m_context,
                     [this]() { m_routes->setDeviceStatus(DeviceStatus()); });
    m_routes->setDeviceStatus({QStringLiteral("active"), true, kKickedText});
    const QString failure = QStringLiteral("failed:9:") + kKickedText;
    QVERIFY(QTest::qWaitFor([&]() { return m_events.contains(failure); }, 5000));
    const QStringList expected = QStringList{"state:1", "state:2", "success"} + kDisconnectSequence
                                 + QStringList{"forced:" + kKickedText, failure};
    QCOMPARE(m_events, expected);
    QCOMPARE(service()->state(), VpnConnectionService::Disconnected);
    verifyNothingIsLeft();
    QTest::qWait(300);
    QCOMPARE(m_events.count(failure), 1);
}

QTEST_MAIN(EngineEndToEndTest)
#include "tst_engineendtoend.moc"
