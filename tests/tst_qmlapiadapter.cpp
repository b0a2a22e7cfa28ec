#include "api/bridge/QmlApiAdapter.h"
#include "api/network/HttpClient.h"
#include "api/security/TokenManager.h"
#include "api/services/ApiManager.h"
#include "api/services/HeartbeatService.h"
#include "api/services/PaymentService.h"
#include "api/services/VpnConnectionService.h"
#include "api/vpn/SystemProxyBackup.h"
#include "api/vpn/V2RayCore.h"
#include "localbackend/ApiRoutes.h"
#include "localbackend/LocalBackendServer.h"
#include "support/LogCapture.h"
#include "support/RefusedBaseUrl.h"
#include "support/SignalWait.h"
#include "support/StandInMachine.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>

#include <memory>

using namespace Norvane::Api;
using Norvane::LocalBackend::ApiRoutes;
using Norvane::LocalBackend::DeviceStatus;
using Norvane::LocalBackend::LocalBackendServer;
using Network::HttpClient;
using Security::TokenManager;
using Services::HeartbeatService;
using Services::PaymentService;
using Services::VpnConnectionService;

using TypeMap = QMap<QString, int>;

namespace {

const QString kDemoEmail = QStringLiteral("demo@norvane.local");
const QString kDemoPassword = QStringLiteral("demo1234");
const QString kLink = QStringLiteral("vmess://eyJ2IjoiMiIsImFkZCI6IjEyNy4wLjAuMSJ9");
constexpr qint64 kHour = 3600 * 1000;

// A stored login with the given standing; vipInMs 0 means no expiry date at all.
void storeLogin(bool vipFlag, qint64 vipInMs, double trialHoursRemaining)
{
    Models::User user;
    user.id = 42;
    user.email = QStringLiteral("standing@norvane.local");
    user.name = QStringLiteral("Standing");
    user.status = QStringLiteral("active");
    user.isVip = vipFlag;
    if (vipInMs != 0)
        user.vipExpiresAt = QDateTime::currentDateTimeUtc().addMSecs(vipInMs);
    user.trialHoursRemaining = trialHoursRemaining;
    TokenManager::instance()->login(QStringLiteral("tok-standing"), user);
}

TypeMap typesOf(const QVariantMap &map)
{
    TypeMap types;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        types.insert(it.key(), it.value().metaType().id());
    return types;
}

TypeMap typed(std::initializer_list<std::pair<const char *, int>> entries)
{
    TypeMap types;
    for (const auto &[key, type] : entries)
        types.insert(QString::fromLatin1(key), type);
    return types;
}

// The link of the first server in the built-in seed.
QString firstSeedLink()
{
    QFile seedFile(ApiRoutes::builtInSeedPath());
    if (!seedFile.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(seedFile.readAll())
        .object().value("servers").toArray().first().toObject().value("vmess_link").toString();
}

QString lastOf(const QSignalSpy &spy, int argument = 0)
{
    return spy.isEmpty() ? QString() : spy.last().at(argument).toString();
}

} // namespace

class QmlApiAdapterTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void loggedOutDefaults();
    void standing_data();
    void standing();
    void permission_data();
    void permission();
    void failureTexts_data();
    void failureTexts();
    void connectRefusals();
    void loginSignalOrder();
    void loginFailure();
    void logoutSignalOrderAndGuard();
    void forcedDisconnect_data();
    void forcedDisconnect();
    void keptForceOrderIsShownAndSignsOutOnce();
    void heartbeatCalls();
    void serverProjectionsAndDisplayNames();
    void serverTierChoice_data();
    void serverTierChoice();
    void catalogueProjections();
    void freeTrialUpdatesTheUserFirst();
    void paymentStatus_data();
    void paymentStatus();
    void pollingOutcomes_data();
    void pollingOutcomes();
    void stoppedPollingIsSilent();
    void connectionRelays();
    // Last: it runs and ends the application's event loop.
    void quittingDisconnects();

private:
    bool signIn(QmlApiAdapter &adapter);
    QString createOrder(QmlApiAdapter &adapter, const QStringList &script);

    QTemporaryDir m_dir;
    std::unique_ptr<StandInMachine> m_machine;
    std::unique_ptr<LocalBackendServer> m_server;
    std::unique_ptr<ApiRoutes> m_routes;
};

void QmlApiAdapterTest::initTestCase()
{
    TestEnvironment::isolate();
    // The connection test runs the fake proxy core; its configuration file and the system
    // proxy stay private to this test.
    QVERIFY(m_dir.isValid());
    const QDir dir(m_dir.path());
    QVERIFY(dir.mkpath(QStringLiteral("tmp")));
    qputenv("TMPDIR", dir.filePath(QStringLiteral("tmp")).toLocal8Bit());
    QVERIFY(dir.mkpath(QStringLiteral("resources/vpn/x32")));
    QVERIFY(QFile::link(TestEnvironment::helperPath(QStringLiteral("norvane_fake_core")),
                        dir.filePath(QStringLiteral("resources/vpn/x32/xray.exe"))));
    m_machine = std::make_unique<StandInMachine>();
    if (Vpn::SystemProxyBackup::isActive())
        Vpn::SystemProxyBackup::release();
    Vpn::V2RayCore *core = VpnConnectionService::instance()->proxyCore();
    core->setResourcePath(dir.filePath(QStringLiteral("resources/vpn")));
    core->setConnectDelay(50);
    core->setStatsInterval(50);
    VpnConnectionService::instance()->setDurationTickInterval(50);

    m_server = std::make_unique<LocalBackendServer>();
    m_routes = std::make_unique<ApiRoutes>(*m_server);
    QVERIFY(m_server->listen());
    ApiManager::instance();
    PaymentService::instance()->setPollInterval(50);
}

void QmlApiAdapterTest::init()
{
    QVERIFY(m_routes->loadSeedFile(ApiRoutes::builtInSeedPath()));
    HttpClient::instance()->setBaseUrl(m_server->baseUrl().toString());
    if (TokenManager::instance()->isLoggedIn() || TokenManager::instance()->getUser().id != 0)
        TokenManager::instance()->logout();
    HttpClient::instance()->clearAuthToken();
    PaymentService::instance()->setPollLimit(PaymentService::kDefaultPollLimit);
    m_server->clearRequests();
}

void QmlApiAdapterTest::cleanup()
{
    PaymentService::instance()->stopPolling();
    HeartbeatService::instance()->stopAutoHeartbeat();
    // Answers still on their way (the last beat among them) arrive before the next test reloads
    // the back end.
    HttpClient::instance()->finishOpenRequests();
}

bool QmlApiAdapterTest::signIn(QmlApiAdapter &adapter)
{
    QSignalSpy success(&adapter, &QmlApiAdapter::loginSuccess);
    adapter.login(kDemoEmail, kDemoPassword);
    return waitForEmissions(success);
}

QString QmlApiAdapterTest::createOrder(QmlApiAdapter &adapter, const QStringList &script)
{
    if (!m_routes->setNextPaymentScript(script))
        return {};
    QSignalSpy created(&adapter, &QmlApiAdapter::paymentCreated);
    adapter.createPayment(1, QStringLiteral("alipay"));
    if (!waitForEmissions(created))
        return {};
    return created.first().at(0).toMap().value(QStringLiteral("orderId")).toString();
}

void QmlApiAdapterTest::loggedOutDefaults()
{
    QmlApiAdapter adapter;
    QVERIFY(!adapter.isLoggedIn());
    QVERIFY(!adapter.canConnect());
    QCOMPARE(adapter.freeMinutes(), 120);
    QCOMPARE(adapter.vipDays(), 0);
    QVERIFY(!adapter.isVip());
    QVERIFY(adapter.userEmail().isEmpty());
    QVERIFY(adapter.userName().isEmpty());
    QVERIFY(adapter.vipExpiresAt().isEmpty());
}

void QmlApiAdapterTest::standing_data()
{
    QTest::addColumn<bool>("vipFlag");
    QTest::addColumn<qint64>("vipInMs");
    QTest::addColumn<double>("trialHours");
    QTest::addColumn<bool>("isVip");
    QTest::addColumn<int>("vipDays");
    QTest::addColumn<int>("freeMinutes");

    QTest::newRow("vip for 36 hours") << true << 36 * kHour << 0.0 << true << 2 << 0;
    QTest::newRow("vip for exactly one day") << true << 24 * kHour + 500 << 5.0 << true << 1 << 0;
    QTest::newRow("vip for one day and a second") << true << 24 * kHour + 1500 << 0.0 << true << 2 << 0;
    QTest::newRow("vip under a second") << true << qint64(500) << 0.0 << true << 0 << 0;
    QTest::newRow("vip flag, expired") << true << -kHour << 1.5 << false << 0 << 90;
    QTest::newRow("vip flag, no expiry") << true << qint64(0) << 1.0 << false << 0 << 60;
    QTest::newRow("expiry without vip flag") << false << 48 * kHour << 1.0 << false << 0 << 60;
    QTest::newRow("free, 1.5 hours") << false << qint64(0) << 1.5 << false << 0 << 90;
    QTest::newRow("free, 0.999 hours") << false << qint64(0) << 0.999 << false << 0 << 59;
    QTest::newRow("free, nothing left") << false << qint64(0) << 0.0 << false << 0 << 0;
    QTest::newRow("free, overdrawn") << false << qint64(0) << -0.5 << false << 0 << 0;
}

void QmlApiAdapterTest::standing()
{
    QFETCH(bool, vipFlag);
    QFETCH(qint64, vipInMs);
    QFETCH(double, trialHours);
    storeLogin(vipFlag, vipInMs, trialHours);
    const QDateTime expiry = TokenManager::instance()->getUser().vipExpiresAt;

    QmlApiAdapter adapter;
    QVERIFY(adapter.isLoggedIn());
    QCOMPARE(adapter.userEmail(), QString("standing@norvane.local"));
    QCOMPARE(adapter.userName(), QString("Standing"));
    QTEST(adapter.isVip(), "isVip");
    QTEST(adapter.vipDays(), "vipDays");
    QTEST(adapter.freeMinutes(), "freeMinutes");
    // The expiry is shown even when it no longer makes the user VIP.
    QCOMPARE(adapter.vipExpiresAt(), expiry.isValid() ? expiry.toString(Qt::ISODate) : QString());
}

void QmlApiAdapterTest::permission_data()
{
    QTest::addColumn<bool>("loggedIn");
    QTest::addColumn<qint64>("vipInMs");
    QTest::addColumn<double>("trialHours");
    QTest::addColumn<int>("serverId");
    QTest::addColumn<bool>("requiresVip");
    QTest::addColumn<int>("code");

    QTest::newRow("logged out, no server") << false << qint64(0) << 0.0 << 0 << false << 1;
    QTest::newRow("logged out, vip line") << false << 48 * kHour << 2.0 << 5 << true << 1;
    QTest::newRow("no server") << true << qint64(0) << 2.0 << 0 << false << 2;
    QTest::newRow("free user on a vip line") << true << qint64(0) << 2.0 << 5 << true << 3;
    QTest::newRow("expired vip on a vip line") << true << -kHour << 2.0 << 5 << true << 3;
    QTest::newRow("free user without trial") << true << qint64(0) << 0.0 << 5 << false << 4;
    QTest::newRow("vip under a second, vip line") << true << qint64(500) << 0.0 << 5 << true << 5;
    QTest::newRow("vip under a second, free line") << true << qint64(500) << 0.0 << 5 << false << 6;
    QTest::newRow("active vip on a vip line") << true << 48 * kHour << 0.0 << 5 << true << 0;
    QTest::newRow("free user with trial") << true << qint64(0) << 0.5 << 5 << false << 0;
}

void QmlApiAdapterTest::permission()
{
    QFETCH(bool, loggedIn);
    QFETCH(qint64, vipInMs);
    QFETCH(double, trialHours);
    QFETCH(int, serverId);
    QFETCH(bool, requiresVip);
    if (loggedIn)
        storeLogin(vipInMs != 0, vipInMs, trialHours);
    QmlApiAdapter adapter;
    QTEST(adapter.checkVpnPermission(serverId, requiresVip), "code");
}

void QmlApiAdapterTest::failureTexts_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << QString();
    QTest::newRow("1") << 1 << QString("请先登录账号");
    QTest::newRow("2") << 2 << QString("请先选择服务器");
    QTest::newRow("3") << 3 << QString("此线路为VIP专线，请升级VIP后使用");
    QTest::newRow("4") << 4 << QString("您的免费体验时长已用完，请升级VIP继续使用");
    QTest::newRow("5") << 5 << QString("您的VIP已过期，无法连接VIP专线");
    QTest::newRow("6") << 6 << QString("您的VIP已过期且体验时长已用完，请续费VIP");
    QTest::newRow("9") << 9 << QString("您的账号在其他设备登录，已被强制下线");
    QTest::newRow("12") << 12 << QString("未知错误");
    QTest::newRow("-1") << -1 << QString("未知错误");
}

void QmlApiAdapterTest::failureTexts()
{
    QFETCH(int, code);
    QmlApiAdapter adapter;
    QTEST(adapter.getVpnFailureReasonText(code), "text");
}

void QmlApiAdapterTest::connectRefusals()
{
    QmlApiAdapter adapter;
    QStringList events;
    connect(&adapter, &QmlApiAdapter::vpnPermissionDenied, &adapter,
            [&](int code, const QString &text) { events << QStringLiteral("denied(%1,%2)").arg(code).arg(text); });
    connect(&adapter, &QmlApiAdapter::vpnConnectionFailed, &adapter,
            [&](int code, const QString &text) { events << QStringLiteral("failed(%1,%2)").arg(code).arg(text); });
    QSignalSpy states(VpnConnectionService::instance(), &VpnConnectionService::connectionStateChanged);
    LogCapture log;

    QVERIFY(!adapter.connectVpn(5, QString(), false));
    QVERIFY(log.contains("[QmlApiAdapter] ❌ VMess链接为空，无法连接"));
    QVERIFY(events.isEmpty());

    // The login test comes before the server test.
    QVERIFY(!adapter.connectVpn(0, kLink, false));
    QCOMPARE(events, (QStringList{"denied(1,请先登录账号)", "failed(1,请先登录账号)"}));
    QVERIFY(log.contains("  VMess链接前缀: \"vmess://eyJ2IjoiMiIs\""));

    events.clear();
    storeLogin(false, 0, 2.0);
    QVERIFY(!adapter.connectVpn(5, kLink, true));
    const QString text = QStringLiteral("此线路为VIP专线，请升级VIP后使用");
    QCOMPARE(events, (QStringList{"denied(3," + text + ")", "failed(3," + text + ")"}));
    QCOMPARE(states.size(), 0);
    QVERIFY(!log.contains("[QmlApiAdapter] 📞 调用VpnConnectionService::connect..."));
}

void QmlApiAdapterTest::loginSignalOrder()
{
    QmlApiAdapter adapter;
    QStringList events;
    connect(&adapter, &QmlApiAdapter::userInfoChanged, &adapter, [&]() { events << "userInfoChanged"; });
    connect(&adapter, &QmlApiAdapter::loginSuccess, &adapter, [&]() { events << "loginSuccess"; });
    connect(&adapter, &QmlApiAdapter::loginStateChanged, &adapter,
            [&](bool loggedIn) { events << QStringLiteral("loginStateChanged(%1)").arg(loggedIn ? "true" : "false"); });
    QSignalSpy config(&adapter, &QmlApiAdapter::systemConfigLoaded);

    QVERIFY(signIn(adapter));
    QTRY_COMPARE(events.size(), 7);
    QCOMPARE(events, (QStringList{"userInfoChanged", "loginStateChanged(true)", "userInfoChanged", "loginSuccess",
                                  "loginStateChanged(true)", "userInfoChanged", "loginStateChanged(true)"}));
    QVERIFY(waitForEmissions(config));
    QCOMPARE(adapter.userEmail(), kDemoEmail);
    QCOMPARE(adapter.userName(), QString("演示用户"));
    QCOMPARE(adapter.freeMinutes(), 120);
    QVERIFY(adapter.isLoggedIn());
    QVERIFY(adapter.canConnect());
}

void QmlApiAdapterTest::loginFailure()
{
    QmlApiAdapter adapter;
    QSignalSpy error(&adapter, &QmlApiAdapter::loginError);
    QSignalSpy success(&adapter, &QmlApiAdapter::loginSuccess);
    QSignalSpy info(&adapter, &QmlApiAdapter::userInfoChanged);
    adapter.login(kDemoEmail, QStringLiteral("wrong-password"));
    QVERIFY(waitForEmissions(error));
    QVERIFY(!lastOf(error).isEmpty());
    QCOMPARE(success.size(), 0);
    QCOMPARE(info.size(), 0);
    QVERIFY(!adapter.isLoggedIn());
}

void QmlApiAdapterTest::logoutSignalOrderAndGuard()
{
    QmlApiAdapter adapter;
    QVERIFY(signIn(adapter));
    // The configuration that the sign-in asked for has come.
    HttpClient::instance()->finishOpenRequests();
    QStringList events;
    connect(&adapter, &QmlApiAdapter::userInfoChanged, &adapter, [&]() { events << "userInfoChanged"; });
    connect(&adapter, &QmlApiAdapter::loginStateChanged, &adapter, [&](bool loggedIn) {
        events << QStringLiteral("loginStateChanged(%1,%2)").arg(loggedIn ? "true" : "false", adapter.userEmail());
    });
    LogCapture log;

    adapter.logout();
    adapter.logout();
    QCOMPARE(log.count("⚠️ [QmlApiAdapter] 正在退出登录中，忽略重复调用"), 1);
    // The properties keep the old user until the back end has answered.
    QVERIFY(events.isEmpty());
    QCOMPARE(adapter.userEmail(), kDemoEmail);

    QTRY_COMPARE(events.size(), 5);
    QCOMPARE(events, (QStringList{"loginStateChanged(false," + kDemoEmail + ")", "userInfoChanged",
                                  "loginStateChanged(false,)", "loginStateChanged(false,)",
                                  "loginStateChanged(false,)"}));
    QCOMPARE(m_server->requests("POST", "/api/v1/auth/logout").size(), 1);
    QCOMPARE(adapter.freeMinutes(), 120);
    QVERIFY(adapter.userName().isEmpty());
    QVERIFY(!adapter.isLoggedIn());

    // Once done, a new logout runs again.
    adapter.logout();
    QCOMPARE(log.count("🔴 [QmlApiAdapter] 开始退出登录流程"), 2);
    QTRY_COMPARE(m_server->requests("POST", "/api/v1/auth/logout").size(), 2);
}

void QmlApiAdapterTest::forcedDisconnect_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("logsOut");
    QTest::newRow("logged in elsewhere") << QString("您的账号在其他设备登录，已被强制下线") << true;
    QTest::newRow("kicked") << QString("管理员已将您强制下线") << true;
    QTest::newRow("other reason") << QString("设备已被管理员停用") << false;
}

void QmlApiAdapterTest::forcedDisconnect()
{
    QFETCH(QString, message);
    QFETCH(bool, logsOut);
    QmlApiAdapter adapter;
    QVERIFY(signIn(adapter));
    QSignalSpy forced(&adapter, &QmlApiAdapter::vpnForceDisconnected);
    QSignalSpy loggedOut(&adapter, &QmlApiAdapter::loginStateChanged);
    QElapsedTimer clock;
    connect(&adapter, &QmlApiAdapter::vpnForceDisconnected, &adapter, [&]() { clock.start(); });
    // Taken when the back end receives the sign-out, not when the test happens to look.
    qint64 waited = -1;
    connect(m_server.get(), &LocalBackendServer::requestReceived, &adapter,
            [&](const QByteArray &method, const QString &path) {
                if (waited < 0 && clock.isValid() && method == "POST" && path == "/api/v1/auth/logout")
                    waited = clock.elapsed();
            });
    // The configuration that the sign-in asked for has come.
    HttpClient::instance()->finishOpenRequests();
    loggedOut.clear();

    m_routes->setDeviceStatus({QStringLiteral("kicked"), true, message});
    adapter.sendHeartbeat(true);
    QVERIFY(waitForEmissions(forced));
    QCOMPARE(lastOf(forced), message);
    QVERIFY(adapter.isLoggedIn());

    if (!logsOut) {
        QTest::qWait(1200);
        QCOMPARE(loggedOut.size(), 0);
        QVERIFY(adapter.isLoggedIn());
        return;
    }
    QTRY_VERIFY_WITH_TIMEOUT(waited >= 0, 3000);
    QVERIFY2(waited >= 950 && waited < 1600, qPrintable(QString::number(waited)));
    QTRY_VERIFY(!adapter.isLoggedIn());
    QTRY_COMPARE(loggedOut.size(), 4);
}

// The back end keeps its order set, so the farewell beat of the connection it ended is
// answered with it as well: one dialog and one sign-out all the same.
void QmlApiAdapterTest::keptForceOrderIsShownAndSignsOutOnce()
{
    const QString message = QStringLiteral("您的账号在其他设备登录，已被强制下线");
    QmlApiAdapter adapter;
    QVERIFY(signIn(adapter));
    QSignalSpy forced(&adapter, &QmlApiAdapter::vpnForceDisconnected);
    QSignalSpy disconnected(&adapter, &QmlApiAdapter::vpnDisconnected);
    QSignalSpy answeredBeats(HeartbeatService::instance(), &HeartbeatService::heartbeatSuccess);
    m_routes->setDeviceStatus({QStringLiteral("active"), true, message});

    const QString link = firstSeedLink();
    QVERIFY(!link.isEmpty());
    QVERIFY(adapter.connectVpn(1, link, false));
    QVERIFY(waitForEmissions(forced));
    QCOMPARE(lastOf(forced), message);
    QTRY_VERIFY_WITH_TIMEOUT(!adapter.isLoggedIn(), 3000);
    // Both beats were answered with the order before the sign-out.
    QCOMPARE(m_routes->heartbeats().size(), 2);
    // The farewell beat's answer, with its order, has come before the quiet spell starts.
    QVERIFY(waitForEmissions(answeredBeats, 2));
    QTest::qWait(1200);
    QCOMPARE(forced.size(), 1);
    QCOMPARE(disconnected.size(), 1);
    QCOMPARE(m_server->requests("POST", "/api/v1/auth/logout").size(), 1);
}

void QmlApiAdapterTest::heartbeatCalls()
{
    QmlApiAdapter adapter;
    QVERIFY(signIn(adapter));
    QSignalSpy sent(&adapter, &QmlApiAdapter::heartbeatSent);
    adapter.sendHeartbeat(false);
    QVERIFY(waitForEmissions(sent));
    QCOMPARE(m_routes->heartbeats().last().connectionStatus, QString("disconnected"));
    QVERIFY(!HeartbeatService::instance()->isAutoHeartbeatRunning());

    QSignalSpy stats(&adapter, &QmlApiAdapter::heartbeatStatsLoaded);
    adapter.getHeartbeatStats();
    QVERIFY(waitForEmissions(stats));
    QCOMPARE(typesOf(stats.first().at(0).toMap()),
             typed({{"onlineUsers", QMetaType::Int}, {"onlineDevices", QMetaType::Int}}));

    // Failures carry fixed texts, not the transport's.
    HttpClient::instance()->setBaseUrl(refusedBaseUrl());
    QSignalSpy beatError(&adapter, &QmlApiAdapter::heartbeatError);
    QSignalSpy statsError(&adapter, &QmlApiAdapter::heartbeatStatsError);
    adapter.sendHeartbeat(true);
    adapter.getHeartbeatStats();
    QTRY_COMPARE(beatError.size() + statsError.size(), 2);
    QCOMPARE(lastOf(beatError), QString("心跳发送失败"));
    QCOMPARE(lastOf(statsError), QString("获取统计数据失败"));
}

void QmlApiAdapterTest::serverProjectionsAndDisplayNames()
{
    QFile seedFile(ApiRoutes::builtInSeedPath());
    QVERIFY(seedFile.open(QIODevice::ReadOnly));
    QJsonObject seed = QJsonDocument::fromJson(seedFile.readAll()).object();
    const QJsonObject base = seed.value("servers").toArray().first().toObject();
    auto server = [&](int id, const char *name, const char *code, const char *location, const char *tierText,
                      const char *city, int maxUsers, int currentUsers) {
        QJsonObject entry = base;
        entry["id"] = id;
        entry["name"] = QString::fromUtf8(name);
        entry["country_code"] = QString::fromUtf8(code);
        entry["location"] = QString::fromUtf8(location);
        entry["tier_text"] = QString::fromUtf8(tierText);
        entry["city"] = QString::fromUtf8(city);
        entry["max_users"] = maxUsers;
        entry["current_users"] = currentUsers;
        return entry;
    };
    seed["servers"] = QJsonArray{
        server(1, "jp", "jp", "", "免费", "东京", 200, 50),
        server(2, "HK", "HK", "香港", "免费", "", 0, 5),
        server(3, "东京节点A", "gb", "伦敦", "免费", "", 100, 0),
        server(4, "US1", "USA", "", "", "纽约", 100, 0),
        server(5, "ab", "XX", "", "", "", 100, 0),
    };
    QString error;
    QVERIFY2(m_routes->loadSeed(QJsonDocument(seed).toJson(), &error), qPrintable(error));

    QmlApiAdapter adapter;
    QVERIFY(signIn(adapter));
    QSignalSpy loaded(&adapter, &QmlApiAdapter::serversLoaded);
    adapter.getServers();
    QVERIFY(waitForEmissions(loaded));
    const QVariantList list = loaded.first().at(0).toList();
    QCOMPARE(list.size(), 5);
    QStringList names;
    QStringList flags;
    for (const QVariant &entry : list) {
        names << entry.toMap().value("name").toString();
        flags << entry.toMap().value("flag").toString();
    }
    QCOMPARE(names, (QStringList{"jp 免费", "香港", "东京节点A", "USA 纽约", "ab"}));
    QCOMPARE(flags, (QStringList{"🇯🇵", "🇭🇰", "🇬🇧", "🌐", "🇽🇽"}));

    const QVariantMap first = list.first().toMap();
    QCOMPARE(first.value("loadPercentage").toDouble(), 25.0);
    QCOMPARE(list.at(1).toMap().value("loadPercentage").toDouble(), 0.0);
    QCOMPARE(first.value("vmessLink").toString(), base.value("vmess_link").toString());
    QCOMPARE(typesOf(first), typed({{"id", QMetaType::Int},
                                    {"name", QMetaType::QString},
                                    {"countryCode", QMetaType::QString},
                                    {"city", QMetaType::QString},
                                    {"location", QMetaType::QString},
                                    {"tier", QMetaType::QString},
                                    {"tierText", QMetaType::QString},
                                    {"requiresVip", QMetaType::Bool},
                                    {"canConnect", QMetaType::Bool},
                                    {"status", QMetaType::QString},
                                    {"flag", QMetaType::QString},
                                    {"vmessLink", QMetaType::QString},
                                    {"maxUsers", QMetaType::Int},
                                    {"currentUsers", QMetaType::Int},
                                    {"cpuUsage", QMetaType::Double},
                                    {"loadPercentage", QMetaType::Double}}));

    QSignalSpy detail(&adapter, &QmlApiAdapter::serverDetailLoaded);
    adapter.getServerById(2);
    QVERIFY(waitForEmissions(detail));
    const QVariantMap map = detail.first().at(0).toMap();
    QCOMPARE(map.value("name").toString(), QString("香港"));
    QCOMPARE(map.keys(), (QStringList{"canConnect", "city", "countryCode", "flag", "id", "location", "name",
                                      "requiresVip", "status", "tier", "tierText"}));

    QSignalSpy detailError(&adapter, &QmlApiAdapter::serverDetailError);
    adapter.getServerById(99);
    QVERIFY(waitForEmissions(detailError));
    QVERIFY(!lastOf(detailError).isEmpty());
}

void QmlApiAdapterTest::serverTierChoice_data()
{
    QTest::addColumn<QString>("tier");
    QTest::addColumn<QString>("sent");
    QTest::newRow("none") << QString() << QString();
    QTest::newRow("all") << QString("all") << QString();
    QTest::newRow("free") << QString("free") << QString("free");
    QTest::newRow("vip") << QString("vip") << QString("vip");
    QTest::newRow("VIP is not vip") << QString("VIP") << QString("VIP");
}

void QmlApiAdapterTest::serverTierChoice()
{
    QFETCH(QString, tier);
    QmlApiAdapter adapter;
    QVERIFY(signIn(adapter));
    m_server->clearRequests();
    QSignalSpy answered(&adapter, &QmlApiAdapter::serversLoaded);
    QSignalSpy failed(&adapter, &QmlApiAdapter::serversError);
    adapter.getServers(tier);
    QTRY_VERIFY(answered.size() + failed.size() == 1);
    const auto requests = m_server->requests("GET", "/api/v1/servers");
    QCOMPARE(requests.size(), 1);
    QTEST(requests.first().query.queryItemValue("tier"), "sent");
}

void QmlApiAdapterTest::catalogueProjections()
{
    QmlApiAdapter adapter;
    QVERIFY(signIn(adapter));

    QSignalSpy announcements(&adapter, &QmlApiAdapter::announcementsLoaded);
    adapter.getAnnouncements();
    QVERIFY(waitForEmissions(announcements));
    QCOMPARE(m_server->requests("GET", "/api/v1/announcements").last().query.queryItemValue("platform"),
             QString("windows"));
    const QVariantList notes = announcements.first().at(0).toList();
    QVERIFY(!notes.isEmpty());
    const QVariantMap note = notes.first().toMap();
    QCOMPARE(typesOf(note), typed({{"id", QMetaType::Int},
                                   {"title", QMetaType::QString},
                                   {"content", QMetaType::QString},
                                   {"type", QMetaType::QString},
                                   {"publishedAt", QMetaType::QDateTime},
                                   {"createdAt", QMetaType::QDateTime}}));
    QVERIFY(note.value("publishedAt").toDateTime().isValid());

    QSignalSpy config(&adapter, &QmlApiAdapter::systemConfigLoaded);
    adapter.getSystemConfig();
    QVERIFY(waitForEmissions(config));
    QCOMPARE(typesOf(config.last().at(0).toMap()), typed({{"appName", QMetaType::QString},
                                                          {"appVersion", QMetaType::QString},
                                                          {"siteName", QMetaType::QString},
                                                          {"freeTrialEnabled", QMetaType::Bool},
                                                          {"vipTrialEnabled", QMetaType::Bool},
                                                          {"maintenanceMode", QMetaType::Bool},
                                                          {"enableRegistration", QMetaType::Bool},
                                                          {"maxDevices", QMetaType::Int}}));

    QSignalSpy plans(&adapter, &QmlApiAdapter::plansLoaded);
    adapter.getSubscriptionPlans();
    QVERIFY(waitForEmissions(plans));
    const QVariantMap plan = plans.first().at(0).toList().first().toMap();
    QCOMPARE(plan.value("name").toString(), QString("月卡"));
    QCOMPARE(typesOf(plan), typed({{"id", QMetaType::Int},
                                   {"name", QMetaType::QString},
                                   {"days", QMetaType::Int},
                                   {"price", QMetaType::Double},
                                   {"currency", QMetaType::QString},
                                   {"description", QMetaType::QString},
                                   {"formattedPrice", QMetaType::QString},
                                   {"daysText", QMetaType::QString},
                                   {"isActive", QMetaType::Bool}}));

    QSignalSpy trial(&adapter, &QmlApiAdapter::trialStatusLoaded);
    adapter.getTrialStatus();
    QVERIFY(waitForEmissions(trial));
    QCOMPARE(typesOf(trial.first().at(0).toMap()), typed({{"trialEnabled", QMetaType::Bool},
                                                          {"trialAvailable", QMetaType::Bool},
                                                          {"trialUsed", QMetaType::Bool},
                                                          {"trialExpiresAt", QMetaType::QString},
                                                          {"trialHoursTotal", QMetaType::Int},
                                                          {"trialHoursUsed", QMetaType::Double},
                                                          {"trialHoursRemaining", QMetaType::Double},
                                                          {"isVip", QMetaType::Bool},
                                                          {"vipExpiresAt", QMetaType::QString},
                                                          {"vipDaysRemaining", QMetaType::Int}}));

    // A cancelled order: its payment date is absent and reaches QML as an invalid date.
    const QString orderNumber = createOrder(adapter, {"cancelled"});
    QVERIFY(!orderNumber.isEmpty());
    QSignalSpy ended(&adapter, &QmlApiAdapter::paymentFailed);
    adapter.getPaymentStatus(orderNumber);
    QVERIFY(waitForEmissions(ended));
    QSignalSpy orders(&adapter, &QmlApiAdapter::ordersLoaded);
    adapter.getUserOrders();
    QVERIFY(waitForEmissions(orders));
    QCOMPARE(orders.first().at(0).toList().size(), 1);
    const QVariantMap order = orders.first().at(0).toList().first().toMap();
    QCOMPARE(order.value("orderNumber").toString(), orderNumber);
    QCOMPARE(typesOf(order), typed({{"id", QMetaType::Int},
                                    {"orderNumber", QMetaType::QString},
                                    {"planName", QMetaType::QString},
                                    {"planDays", QMetaType::Int},
                                    {"amount", QMetaType::Double},
                                    {"paymentCurrency", QMetaType::QString},
                                    {"paymentMethod", QMetaType::QString},
                                    {"paymentMethodText", QMetaType::QString},
                                    {"status", QMetaType::QString},
                                    {"statusText", QMetaType::QString},
                                    {"createdAt", QMetaType::QDateTime},
                                    {"paidAt", QMetaType::QDateTime}}));
    QVERIFY(order.value("createdAt").toDateTime().isValid());
    QVERIFY(!order.value("paidAt").toDateTime().isValid());

    QSignalSpy created(&adapter, &QmlApiAdapter::paymentCreated);
    adapter.createPayment(1, QStringLiteral("wxpay"));
    QVERIFY(waitForEmissions(created));
    QCOMPARE(typesOf(created.first().at(0).toMap()), typed({{"orderId", QMetaType::QString},
                                                            {"paymentUrl", QMetaType::QString},
                                                            {"amount", QMetaType::Double},
                                                            {"planName", QMetaType::QString},
                                                            {"planDays", QMetaType::Int}}));
    QSignalSpy creationError(&adapter, &QmlApiAdapter::paymentCreationError);
    adapter.createPayment(999, QStringLiteral("alipay"));
    QVERIFY(waitForEmissions(creationError));
    QVERIFY(!lastOf(creationError).isEmpty());
}

void QmlApiAdapterTest::freeTrialUpdatesTheUserFirst()
{
    QmlApiAdapter adapter;
    QSignalSpy success(&adapter, &QmlApiAdapter::loginSuccess);
    adapter.registerUser(QStringLiteral("fresh@norvane.local"), QStringLiteral("fresh1234"), QStringLiteral("Fresh"));
    QVERIFY(waitForEmissions(success));
    // The configuration that the sign-up asked for has come.
    HttpClient::instance()->finishOpenRequests();

    QStringList events;
    connect(&adapter, &QmlApiAdapter::userInfoChanged, &adapter, [&]() { events << "userInfoChanged"; });
    connect(&adapter, &QmlApiAdapter::trialActivated, &adapter, [&]() { events << "trialActivated"; });
    QSignalSpy activated(&adapter, &QmlApiAdapter::trialActivated);
    QSignalSpy refused(&adapter, &QmlApiAdapter::trialActivationError);
    adapter.activateFreeTrial();
    QTRY_VERIFY(activated.size() + refused.size() == 1);
    QVERIFY2(refused.isEmpty(), qPrintable(lastOf(refused)));
    QCOMPARE(events, (QStringList{"userInfoChanged", "trialActivated"}));
    const QVariantMap user = activated.first().at(0).toMap();
    QCOMPARE(typesOf(user), typed({{"id", QMetaType::Int},
                                   {"email", QMetaType::QString},
                                   {"name", QMetaType::QString},
                                   {"isVip", QMetaType::Bool},
                                   {"trialUsed", QMetaType::Bool},
                                   {"trialHoursRemaining", QMetaType::Double}}));
    QCOMPARE(adapter.freeMinutes(), int(user.value("trialHoursRemaining").toDouble() * 60));
    QVERIFY(adapter.freeMinutes() > 0);

    adapter.activateFreeTrial();
    QVERIFY(waitForEmissions(refused));
    QVERIFY(!lastOf(refused).isEmpty());
}

void QmlApiAdapterTest::paymentStatus_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("paid") << QString("paid") << QString("completed");
    QTest::newRow("PAID") << QString("PAID") << QString();
    QTest::newRow("completed") << QString("completed") << QString();
    QTest::newRow("failed") << QString("failed") << QString("failed:failed");
    QTest::newRow("cancelled") << QString("cancelled") << QString("failed:cancelled");
    QTest::newRow("pending") << QString("pending") << QString();
}

void QmlApiAdapterTest::paymentStatus()
{
    QFETCH(QString, status);
    QmlApiAdapter adapter;
    QVERIFY(signIn(adapter));
    const QString orderNumber = createOrder(adapter, {status});
    QVERIFY(!orderNumber.isEmpty());

    QStringList events;
    connect(&adapter, &QmlApiAdapter::paymentStatusLoaded, &adapter,
            [&](const QVariantMap &map) { events << "loaded:" + map.value("status").toString(); });
    connect(&adapter, &QmlApiAdapter::paymentCompleted, &adapter, [&](const QString &order) {
        events << (order == orderNumber ? QStringLiteral("completed") : "completed:" + order);
    });
    connect(&adapter, &QmlApiAdapter::paymentFailed, &adapter, [&](const QString &order, const QString &message) {
        events << (order == orderNumber ? "failed:" + message : "failed-other:" + order);
    });
    QSignalSpy loaded(&adapter, &QmlApiAdapter::paymentStatusLoaded);
    adapter.getPaymentStatus(orderNumber);
    QVERIFY(waitForEmissions(loaded));
    QTest::qWait(50);

    QFETCH(QString, outcome);
    QStringList expected{"loaded:" + status};
    if (!outcome.isEmpty())
        expected << outcome;
    QCOMPARE(events, expected);
    QCOMPARE(typesOf(loaded.first().at(0).toMap()), typed({{"orderId", QMetaType::QString},
                                                           {"status", QMetaType::QString},
                                                           {"amount", QMetaType::Double},
                                                           {"planName", QMetaType::QString},
                                                           {"planDays", QMetaType::Int},
                                                           {"paymentMethod", QMetaType::QString},
                                                           {"paidAt", QMetaType::QString}}));

    QSignalSpy statusError(&adapter, &QmlApiAdapter::paymentStatusError);
    adapter.getPaymentStatus(QStringLiteral("NO-SUCH-ORDER"));
    QVERIFY(waitForEmissions(statusError));
}

void QmlApiAdapterTest::pollingOutcomes_data()
{
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("completed") << QStringList{"pending", "completed"} << 60
                               << QStringList{"loaded:pending", "loaded:completed", "completed", "userInfoChanged"};
    // The first answer only informs; the first tick's answer ends the polling.
    QTest::newRow("refunded") << QStringList{"refunded"} << 60
                              << QStringList{"loaded:refunded", "loaded:refunded", "failed:支付超时"};
    QTest::newRow("still open at the limit") << QStringList{"pending"} << 2
                                             << QStringList{"loaded:pending", "loaded:pending", "loaded:pending",
                                                            "failed:支付超时"};
}

void QmlApiAdapterTest::pollingOutcomes()
{
    QFETCH(QStringList, script);
    QFETCH(int, limit);
    QmlApiAdapter adapter;
    QVERIFY(signIn(adapter));
    const QString orderNumber = createOrder(adapter, script);
    QVERIFY(!orderNumber.isEmpty());
    PaymentService::instance()->setPollLimit(limit);
    // The configuration that the sign-in asked for has come.
    HttpClient::instance()->finishOpenRequests();

    QStringList events;
    connect(&adapter, &QmlApiAdapter::paymentStatusLoaded, &adapter, [&](const QVariantMap &map) {
        events << "loaded:" + map.value("status").toString();
        QCOMPARE(map.keys(), (QStringList{"amount", "orderId", "paidAt", "planName", "status"}));
    });
    connect(&adapter, &QmlApiAdapter::paymentCompleted, &adapter,
            [&](const QString &order) { events << (order == orderNumber ? "completed" : "completed:" + order); });
    connect(&adapter, &QmlApiAdapter::paymentFailed, &adapter, [&](const QString &order, const QString &message) {
        events << (order == orderNumber ? "failed:" + message : "failed-other:" + order);
    });
    connect(&adapter, &QmlApiAdapter::userInfoChanged, &adapter, [&]() { events << "userInfoChanged"; });

    QFETCH(QStringList, expected);
    adapter.startPollingPayment(orderNumber);
    QTRY_VERIFY_WITH_TIMEOUT(events.size() >= expected.size(), 5000);
    QTest::qWait(200);
    // The refresh after payment runs the user update twice (its answer and the service's signal).
    if (expected.last() == "userInfoChanged")
        expected << "userInfoChanged";
    QCOMPARE(events, expected);
    if (script.last() == "completed")
        QVERIFY(adapter.isVip());
}

void QmlApiAdapterTest::stoppedPollingIsSilent()
{
    QmlApiAdapter adapter;
    QVERIFY(signIn(adapter));
    const QString orderNumber = createOrder(adapter, {"pending", "completed"});
    QVERIFY(!orderNumber.isEmpty());
    QSignalSpy loaded(&adapter, &QmlApiAdapter::paymentStatusLoaded);
    QSignalSpy completed(&adapter, &QmlApiAdapter::paymentCompleted);
    QSignalSpy failed(&adapter, &QmlApiAdapter::paymentFailed);
    adapter.startPollingPayment(orderNumber);
    QVERIFY(waitForEmissions(loaded));
    adapter.stopPollingPayment();
    QTest::qWait(300);
    QCOMPARE(loaded.size(), 1);
    QCOMPARE(completed.size(), 0);
    QCOMPARE(failed.size(), 0);
}

void QmlApiAdapterTest::connectionRelays()
{
    QmlApiAdapter adapter;
    QVERIFY(signIn(adapter));
    QSignalSpy connected(&adapter, &QmlApiAdapter::vpnConnected);
    QSignalSpy duration(&adapter, &QmlApiAdapter::vpnDurationChanged);
    QSignalSpy traffic(&adapter, &QmlApiAdapter::vpnTrafficUpdate);
    QSignalSpy disconnected(&adapter, &QmlApiAdapter::vpnDisconnected);
    QSignalSpy failed(&adapter, &QmlApiAdapter::vpnConnectionFailed);

    const QString link = firstSeedLink();
    QVERIFY(!link.isEmpty());
    QVERIFY(adapter.connectVpn(1, link, false));
    QVERIFY(waitForEmissions(connected));
    QTRY_VERIFY(duration.size() >= 1 && traffic.size() >= 2);
    VpnConnectionService *vpn = VpnConnectionService::instance();
    QCOMPARE(traffic.last().at(0).toLongLong(), vpn->uploadBytes());
    QCOMPARE(traffic.last().at(1).toLongLong(), vpn->downloadBytes());
    for (qsizetype i = 1; i < traffic.size(); ++i) {
        QVERIFY(traffic.at(i).at(0).toLongLong() >= traffic.at(i - 1).at(0).toLongLong());
        QVERIFY(traffic.at(i).at(1).toLongLong() >= traffic.at(i - 1).at(1).toLongLong());
    }

    adapter.disconnectVpn();
    QTRY_COMPARE(disconnected.size(), 1);
    QCOMPARE(vpn->state(), VpnConnectionService::Disconnected);
    QCOMPARE(failed.size(), 0);
}

void QmlApiAdapterTest::quittingDisconnects()
{
    QmlApiAdapter adapter;
    QVERIFY(signIn(adapter));
    QSignalSpy connected(&adapter, &QmlApiAdapter::vpnConnected);
    QSignalSpy disconnected(&adapter, &QmlApiAdapter::vpnDisconnected);
    const QString link = firstSeedLink();
    QVERIFY(!link.isEmpty());
    QVERIFY(adapter.connectVpn(1, link, false));
    QVERIFY(waitForEmissions(connected));

    // The adapter outlives the loop here, so only the quit notice can have disconnected.
    QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
    QCOMPARE(disconnected.size(), 1);
    QCOMPARE(VpnConnectionService::instance()->state(), VpnConnectionService::Disconnected);
}

QTEST_GUILESS_MAIN(QmlApiAdapterTest)
#include "tst_qmlapiadapter.moc"
