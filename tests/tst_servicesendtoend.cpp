#include "api/models/Announcement.h"
#include "api/models/HeartbeatStats.h"
#include "api/network/HttpClient.h"
#include "api/security/TokenManager.h"
#include "api/services/AnnouncementService.h"
#include "api/services/ApiManager.h"
#include "api/services/AuthService.h"
#include "api/services/ConfigService.h"
#include "api/services/HeartbeatService.h"
#include "api/services/OrderService.h"
#include "api/services/PaymentService.h"
#include "api/services/ServerService.h"
#include "localbackend/ApiRoutes.h"
#include "localbackend/LocalBackendServer.h"
#include "platform/process/TiedChildProcess.h"
#include "support/LogCapture.h"
#include "support/LogSecrets.h"
#include "support/Outcome.h"
#include "support/TestEnvironment.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace Norvane::Api;
using Norvane::LocalBackend::ApiRoutes;
using Norvane::LocalBackend::DeviceStatus;
using Norvane::LocalBackend::LocalBackendServer;
using Network::HttpClient;
using Security::TokenManager;
using Services::AnnouncementService;
using Services::AuthService;
using Services::ConfigService;
using Services::HeartbeatService;
using Services::OrderService;
using Services::PaymentService;
using Services::ServerService;

namespace {

const QString kDemoEmail = QStringLiteral("demo@norvane.local");
const QString kDemoPassword = QStringLiteral("demo1234");
const QString kKickedText = QStringLiteral("您的账号在其他设备登录，已被强制下线");

bool signIn(const QString &email, const QString &password)
{
    Outcome<Models::User> login;
    ApiManager::instance()->login(email, password, login.callback());
    return login.wait() && login.success;
}

QList<bool> canConnectOf(const QList<Models::Server> &servers)
{
    QList<bool> flags;
    for (const Models::Server &server : servers)
        flags << server.canConnect;
    return flags;
}

QList<bool> serverRights(void (ServerService::*list)(ServerService::ServersCallback))
{
    Outcome<QList<Models::Server>> servers;
    (ServerService::instance()->*list)(servers.callback());
    if (!servers.wait() || !servers.success)
        return {};
    return canConnectOf(servers.result);
}

} // namespace

class ServicesEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void demoSignsInAndSeesTheCatalogue();
    void paymentCompletesAndMakesTheUserVip();
    void heartbeatCarriesTheBackEndsOrders();
    void logoutEndsTheTokenAtTheBackEnd();
    void registration_data();
    void registration();
    void freeTrialGivesTheRightToConnect();
    void configurationAndAnnouncements();
    void signedRepliesEndToEnd();
    void noSecretIsRecoverableFromTheLog_data();
    void noSecretIsRecoverableFromTheLog();
    void standaloneProgramServesTheDemoAccount();

private:
    std::unique_ptr<LocalBackendServer> m_server;
    std::unique_ptr<ApiRoutes> m_routes;
};

void ServicesEndToEndTest::initTestCase()
{
    TestEnvironment::isolate();
    m_server = std::make_unique<LocalBackendServer>();
    m_routes = std::make_unique<ApiRoutes>(*m_server);
    QVERIFY(m_server->listen());
    ApiManager::instance();
    // Read before anything shortens them.
    QCOMPARE(PaymentService::instance()->pollInterval(), 5000);
    QCOMPARE(HeartbeatService::instance()->defaultIntervalMs(), 30000);
    PaymentService::instance()->setPollInterval(50);
    HeartbeatService::instance()->setDefaultIntervalMs(100);
}

void ServicesEndToEndTest::init()
{
    QVERIFY(m_routes->loadSeedFile(ApiRoutes::builtInSeedPath()));
    HttpClient::instance()->setBaseUrl(m_server->baseUrl().toString());
    HttpClient::instance()->setApiEncryption(false, QString());
    if (!TokenManager::instance()->token().isEmpty() || TokenManager::instance()->getUser().id != 0)
        TokenManager::instance()->logout();
    HttpClient::instance()->clearAuthToken();
    m_server->clearRequests();
}

void ServicesEndToEndTest::cleanup()
{
    PaymentService::instance()->stopPolling();
    HeartbeatService::instance()->stopAutoHeartbeat();
    // Answers still on their way (the last beat among them) arrive before the next test reloads
    // the back end.
    HttpClient::instance()->finishOpenRequests();
}

void ServicesEndToEndTest::demoSignsInAndSeesTheCatalogue()
{
    QVERIFY(signIn(kDemoEmail, kDemoPassword));
    QVERIFY(ApiManager::instance()->isLoggedIn());
    QVERIFY(ApiManager::instance()->canConnect());
    const QString token = HttpClient::instance()->authToken();
    QVERIFY(!token.isEmpty());
    QCOMPARE(TokenManager::instance()->token(), token);

    Outcome<Models::User> me;
    AuthService::instance()->getCurrentUser(me.callback());
    QVERIFY(me.wait());
    QVERIFY(me.success);
    QCOMPARE(me.result.email, kDemoEmail);
    QVERIFY(!me.result.isVipActive());
    QVERIFY(me.result.trialUsed);
    QCOMPARE(me.result.trialHoursRemaining, 2.0);
    QCOMPARE(m_server->requests("GET", "/api/v1/auth/me").last().header("Authorization"), "Bearer " + token.toUtf8());

    Outcome<QList<Models::Server>> servers;
    ServerService::instance()->getAllServers(servers.callback());
    QVERIFY(servers.wait());
    QVERIFY(servers.success);
    QCOMPARE(servers.result.size(), 3);
    QCOMPARE(servers.result.first().tier, QString("free"));
    QVERIFY(servers.result.first().vmessLink.startsWith("vmess://"));
    QCOMPARE(canConnectOf(servers.result), (QList<bool>{true, false, false}));
    QCOMPARE(serverRights(&ServerService::getVipServers), (QList<bool>{false, false}));

    Outcome<Models::Server> detail;
    ServerService::instance()->getServerById(2, detail.callback());
    QVERIFY(detail.wait());
    QVERIFY(detail.success);
    QVERIFY(detail.result.requiresVip);

    Outcome<QList<Models::SubscriptionPlan>> plans;
    PaymentService::instance()->getSubscriptionPlans(plans.callback());
    QVERIFY(plans.wait());
    QVERIFY(plans.success);
    QCOMPARE(plans.result.size(), 3);
    QCOMPARE(plans.result.first().name, QString("月卡"));
    QCOMPARE(plans.result.first().days, 30);
}

void ServicesEndToEndTest::paymentCompletesAndMakesTheUserVip()
{
    QVERIFY(signIn(kDemoEmail, kDemoPassword));
    Outcome<Models::CreatePaymentData> created;
    PaymentService::instance()->createPayment(1, QStringLiteral("alipay"), created.callback());
    QVERIFY(created.wait());
    QVERIFY2(created.success, qPrintable(created.message));
    QCOMPARE(created.message, QString("订单创建成功"));
    const QString order = created.result.orderId;
    QVERIFY(!order.isEmpty());
    QCOMPARE(created.result.amount, 15.0);
    QVERIFY(created.result.paymentUrl.endsWith("/pay/" + order));

    QStringList statuses;
    int completed = 0;
    int failed = 0;
    PaymentService::instance()->startPolling(
        order,
        [&](bool success, const QString &, const Models::PaymentStatusData &data) {
            statuses << (success ? data.status : QStringLiteral("error"));
        },
        [&] { ++completed; }, [&] { ++failed; });
    QTRY_COMPARE_WITH_TIMEOUT(completed, 1, 5000);
    QCOMPARE(failed, 0);
    QCOMPARE(statuses, (QStringList{"pending", "pending", "completed"}));
    QVERIFY(!PaymentService::instance()->isPolling());

    Outcome<Models::User> me;
    AuthService::instance()->refreshUserInfo(me.callback());
    QVERIFY(me.wait());
    QVERIFY(me.result.isVipActive());
    QVERIFY(qAbs(me.result.vipExpiresAt.secsTo(QDateTime::currentDateTimeUtc().addDays(30))) < 60);
    QVERIFY(TokenManager::instance()->getUser().isVipActive());
    QCOMPARE(serverRights(&ServerService::getVipServers), (QList<bool>{true, true}));

    Outcome<QList<Models::Order>> orders;
    OrderService::instance()->getAllOrders(orders.callback());
    QVERIFY(orders.wait());
    QVERIFY(orders.success);
    QCOMPARE(orders.result.size(), 1);
    QCOMPARE(orders.result.first().orderNumber, order);
    QCOMPARE(orders.result.first().status, QString("completed"));
    QCOMPARE(orders.result.first().planName, QString("月卡"));
    QVERIFY(orders.result.first().paidAt.isValid());
    QCOMPARE(OrderService::instance()->pagination().total, 1);
}

void ServicesEndToEndTest::heartbeatCarriesTheBackEndsOrders()
{
    QVERIFY(signIn(kDemoEmail, kDemoPassword));
    HeartbeatService *heartbeat = HeartbeatService::instance();
    QSignalSpy forced(heartbeat, &HeartbeatService::forceDisconnectRequired);
    QSignalSpy standing(heartbeat, &HeartbeatService::userStatusUpdated);

    heartbeat->startAutoHeartbeat(1, 0);
    QTRY_VERIFY(standing.size() >= 2);
    QCOMPARE(forced.size(), 0);
    QCOMPARE(standing.first().at(0).toBool(), false);
    QCOMPARE(standing.first().at(1).toDouble(), 2.0);
    QCOMPARE(m_routes->heartbeats().first().connectionStatus, QString("connected"));
    QCOMPARE(m_routes->heartbeats().first().deviceId, TokenManager::instance()->getDeviceId());

    m_routes->setDeviceStatus({QStringLiteral("kicked"), true, kKickedText});
    QTRY_VERIFY(forced.size() >= 1);
    QCOMPARE(forced.first().at(0).toString(), kKickedText);

    m_routes->setHeartbeatInterval(60);
    QTRY_COMPARE(heartbeat->heartbeatIntervalMs(), 60000);
    // A beat of the short interval may still be on its way; once it is in, nothing ticks for a minute.
    HttpClient::instance()->finishOpenRequests();
    const qsizetype beats = m_routes->heartbeats().size();
    heartbeat->stopAutoHeartbeat();
    QTRY_COMPARE(m_routes->heartbeats().size(), beats + 1);
    QCOMPARE(m_routes->heartbeats().last().connectionStatus, QString("disconnected"));

    bool statsOk = false;
    Models::HeartbeatStats stats;
    stats.onlineDevices = -1;
    heartbeat->getStats([&](bool success, const Models::HeartbeatStats &received) {
        statsOk = success;
        stats = received;
    });
    QTRY_COMPARE(stats.onlineDevices, 0);
    QVERIFY(statsOk);
}

void ServicesEndToEndTest::logoutEndsTheTokenAtTheBackEnd()
{
    QVERIFY(signIn(kDemoEmail, kDemoPassword));
    const QString token = HttpClient::instance()->authToken();
    const Models::User user = TokenManager::instance()->getUser();

    bool loggedOut = false;
    ApiManager::instance()->logout([&](bool success, const QString &) { loggedOut = success; });
    QTRY_VERIFY(loggedOut);
    QVERIFY(!ApiManager::instance()->isLoggedIn());
    QCOMPARE(m_server->requests("POST", "/api/v1/auth/logout").last().header("Authorization"),
             "Bearer " + token.toUtf8());

    // The old token is dead at the back end, not only forgotten by the client: stored again,
    // as a login restored at start-up would be, it is refused.
    TokenManager::instance()->login(token, user);
    HttpClient::instance()->setAuthToken(token);
    QSignalSpy required(AuthService::instance(), &AuthService::authenticationRequired);
    Outcome<Models::User> me;
    AuthService::instance()->getCurrentUser(me.callback());
    QVERIFY(me.wait());
    QVERIFY(!me.success);
    QCOMPARE(me.message, QString("未登录或登录已过期"));
    QCOMPARE(required.size(), 1);

    Outcome<Models::OrderListResponse> orders;
    OrderService::instance()->getOrders(1, 100, orders.callback());
    QVERIFY(orders.wait());
    QVERIFY(!orders.success);
}

void ServicesEndToEndTest::registration_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("failure"); // empty: signed up
    QTest::newRow("new account") << "fresh@norvane.local" << true << "";
    QTest::newRow("e-mail taken") << kDemoEmail << true << "该邮箱已被注册";
    QTest::newRow("registration closed") << "fresh@norvane.local" << false << "注册功能已关闭";
}

void ServicesEndToEndTest::registration()
{
    QFETCH(QString, email);
    QFETCH(bool, open);
    QFETCH(QString, failure);
    QVERIFY(m_routes->setConfigValue("enable_registration", open));

    Outcome<Models::User> signUp;
    ApiManager::instance()->registerUser(email, QStringLiteral("secret99"), QStringLiteral("新用户"), QString(),
                                         signUp.callback());
    QVERIFY(signUp.wait());
    QCOMPARE(signUp.success, failure.isEmpty());
    QCOMPARE(ApiManager::instance()->isLoggedIn(), failure.isEmpty());
    if (!failure.isEmpty()) {
        QCOMPARE(signUp.message, failure);
        return;
    }
    QCOMPARE(signUp.message, QString("注册成功"));
    QCOMPARE(signUp.result.email, email);
    QCOMPARE(m_routes->account(email)->name, QString("新用户"));
    // A fresh account has no trial running, so it may not connect yet.
    QVERIFY(!ApiManager::instance()->canConnect());
    QVERIFY(signIn(email, QStringLiteral("secret99")));
}

void ServicesEndToEndTest::freeTrialGivesTheRightToConnect()
{
    Outcome<Models::User> signUp;
    ApiManager::instance()->registerUser(QStringLiteral("trial@norvane.local"), QStringLiteral("secret99"),
                                         QStringLiteral("体验"), QString(), signUp.callback());
    QVERIFY(signUp.wait() && signUp.success);
    QCOMPARE(serverRights(&ServerService::getFreeServers), (QList<bool>{false}));

    Outcome<Models::TrialStatus> status;
    ConfigService::instance()->getTrialStatus(status.callback());
    QVERIFY(status.wait());
    QVERIFY(status.result.trial.enabled);
    QVERIFY(status.result.trial.available);
    QCOMPARE(status.result.accountStatus, QString("active"));

    Outcome<Models::User> activated;
    ConfigService::instance()->activateFreeTrial(activated.callback());
    QVERIFY(activated.wait());
    QVERIFY(activated.success);
    QCOMPARE(activated.message, QString("免费体验激活成功"));
    QVERIFY(TokenManager::instance()->getUser().trialUsed);
    QCOMPARE(TokenManager::instance()->getUser().trialHoursRemaining, 2.0);
    QVERIFY(ApiManager::instance()->canConnect());
    QCOMPARE(serverRights(&ServerService::getFreeServers), (QList<bool>{true}));

    Outcome<Models::User> vipTrial;
    ConfigService::instance()->activateVipTrial(vipTrial.callback());
    QVERIFY(vipTrial.wait());
    QVERIFY(!vipTrial.success);
    QCOMPARE(vipTrial.message, QString("VIP体验未开放"));
    QVERIFY(!TokenManager::instance()->getUser().isVipActive());
}

void ServicesEndToEndTest::configurationAndAnnouncements()
{
    QVERIFY(m_routes->setConfigValue("maintenance_mode", true));
    QSignalSpy maintenance(ConfigService::instance(), &ConfigService::maintenanceModeEntered);
    Outcome<Models::SystemConfig> config;
    ConfigService::instance()->getConfigs(config.callback());
    QVERIFY(config.wait());
    QVERIFY(config.success);
    QCOMPARE(config.result.appName, QString("Norvane加速器"));
    QVERIFY(config.result.freeTrialEnabled);
    QCOMPARE(config.result.freeTrialDuration, 2);
    QCOMPARE(maintenance.size(), 1);

    Outcome<QList<Models::Announcement>> announcements;
    AnnouncementService::instance()->getAnnouncements(QStringLiteral("windows"), 0, announcements.callback());
    QVERIFY(announcements.wait());
    QVERIFY(announcements.success);
    QList<int> ids;
    for (const Models::Announcement &announcement : announcements.result)
        ids << announcement.id;
    QCOMPARE(ids, (QList<int>{4, 2, 1}));
    QVERIFY(announcements.result.first().publishedAt.isValid());
}

void ServicesEndToEndTest::signedRepliesEndToEnd()
{
    QVERIFY(m_routes->setConfigValue("api_secret_key", "e2e-secret"));
    QVERIFY(m_routes->setConfigValue("api_encrypt_enabled", true));
    // As after a run that cached the configuration.
    HttpClient::instance()->setApiEncryption(true, QStringLiteral("e2e-secret"));

    QVERIFY(signIn(kDemoEmail, kDemoPassword));
    QCOMPARE(TokenManager::instance()->getUser().email, kDemoEmail);
    Outcome<Models::SystemConfig> config;
    ConfigService::instance()->getConfigs(config.callback());
    QVERIFY(config.wait());
    QVERIFY(config.result.apiEncryptEnabled);
    QCOMPARE(config.result.apiSecretKey, QString("e2e-secret"));
    QVERIFY(HttpClient::instance()->isApiEncryptionEnabled());
}

void ServicesEndToEndTest::noSecretIsRecoverableFromTheLog_data()
{
    QTest::addColumn<QString>("clientSecret"); // empty: no decoding, as on a first run

    QTest::newRow("secret cached") << "e2e-secret";
    QTest::newRow("first run, no secret yet") << "";
    QTest::newRow("stale secret") << "old-secret";
}

// The back end signs every reply: whether the client can decode them or not, the log must not
// give away the configuration's keys, the login's token or the servers' links.
void ServicesEndToEndTest::noSecretIsRecoverableFromTheLog()
{
    QFETCH(QString, clientSecret);
    const bool decodes = clientSecret == QStringLiteral("e2e-secret");
    QVERIFY(m_routes->setConfigValue("api_secret_key", "e2e-secret"));
    QVERIFY(m_routes->setConfigValue("vpn_encrypt_key", "e2e-link-key"));
    QVERIFY(m_routes->setConfigValue("api_encrypt_enabled", true));
    HttpClient::instance()->setApiEncryption(!clientSecret.isEmpty(), clientSecret);

    LogCapture log;
    Outcome<Models::SystemConfig> config;
    ConfigService::instance()->getConfigs(config.callback());
    QVERIFY(config.wait());
    QCOMPARE(config.success, decodes);
    Outcome<Models::User> login;
    ApiManager::instance()->login(kDemoEmail, kDemoPassword, login.callback());
    QVERIFY(login.wait());
    QCOMPARE(login.success, decodes);
    Outcome<QList<Models::Server>> servers;
    ServerService::instance()->getAllServers(servers.callback());
    QVERIFY(servers.wait());
    Outcome<Models::User> me;
    AuthService::instance()->getCurrentUser(me.callback());
    QVERIFY(me.wait());
    QCOMPARE(me.success, decodes);

    QStringList secrets{QStringLiteral("e2e-secret"), QStringLiteral("e2e-link-key"), kDemoPassword};
    if (decodes) {
        secrets << TokenManager::instance()->token();
        QCOMPARE(servers.result.size(), 3);
        for (const Models::Server &server : servers.result)
            secrets << server.vmessLink;
    }
    const QStringList leaks = leakedSecrets(log.messages(), secrets);
    QVERIFY2(leaks.isEmpty(), qPrintable(leaks.join(QLatin1Char('\n'))));
}

void ServicesEndToEndTest::standaloneProgramServesTheDemoAccount()
{
    const QString program = qEnvironmentVariable("NORVANE_LOCAL_BACKEND");
    QVERIFY2(!program.isEmpty(), "NORVANE_LOCAL_BACKEND must name the norvane-local-backend program");
    QProcess backend;
    backend.setProcessEnvironment(TestEnvironment::childEnvironment());
    Norvane::Platform::startTiedChild(backend, program, {});
    QElapsedTimer clock;
    clock.start();
    while (!backend.canReadLine() && clock.elapsed() < 10000)
        backend.waitForReadyRead(200);
    const QString line = QString::fromUtf8(backend.readLine()).trimmed();
    const QRegularExpressionMatch match =
        QRegularExpression("^norvane-local-backend listening on (http://127\\.0\\.0\\.1:\\d+/api/v1/)$").match(line);
    QVERIFY2(match.hasMatch(), qPrintable(line));
    HttpClient::instance()->setBaseUrl(match.captured(1));

    QVERIFY(signIn(kDemoEmail, kDemoPassword));
    QVERIFY(ApiManager::instance()->canConnect());
    QCOMPARE(serverRights(&ServerService::getAllServers), (QList<bool>{true, false, false}));

    backend.terminate();
    QVERIFY(backend.waitForFinished(10000));
    QCOMPARE(backend.exitCode(), 0);
    QVERIFY(m_server->requests().isEmpty());
}

QTEST_GUILESS_MAIN(ServicesEndToEndTest)
#include "tst_servicesendtoend.moc"
