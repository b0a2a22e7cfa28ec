#include "api/network/HttpClient.h"
#include "api/security/TokenManager.h"
#include "api/services/ApiManager.h"
#include "api/services/OrderService.h"
#include "api/services/PaymentService.h"
#include "api/services/ServerService.h"
#include "support/BackendTestRig.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QTest>

using Norvane::Api::ApiManager;
using Norvane::Api::Models::User;
using Norvane::Api::Network::HttpClient;
using Norvane::Api::Security::TokenManager;
using Norvane::LocalBackend::Fault;
using Norvane::LocalBackend::RecordedRequest;
using Norvane::LocalBackend::Reply;

namespace {

QJsonObject userJson()
{
    return {{"id", 7}, {"email", "demo@norvane.local"}, {"name", "Demo"}, {"status", "active"}};
}

} // namespace

class ApiManagerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void initializeWithoutStoredToken();
    void initializeWithStoredTokenRefreshesUser();
    void initializeInMaintenanceMode();
    void failedConfigurationReportsFalse();
    void loginAndLogoutSignalOrder();
    void logoutCleansUpEvenWhenTheRequestFails();
    void canConnect_data();
    void canConnect();

private:
    BackendTestRig m_rig;
    bool m_maintenance = false;
    QStringList m_events;
};

void ApiManagerTest::initTestCase()
{
    QVERIFY(m_rig.start());

    m_rig.backend().route("GET", "/api/v1/configs", [this](const RecordedRequest &) {
        const QJsonObject maintenance{{"type", "boolean"}, {"value", m_maintenance}};
        return Reply::json({{"success", true}, {"data", QJsonObject{{"maintenance_mode", maintenance}}}});
    });
    m_rig.answer("POST", "/api/v1/auth/login",
                 Reply::json({{"success", true}, {"message", "登录成功"}, {"token", "tok-new"}, {"data", userJson()}}));
    m_rig.answer("POST", "/api/v1/auth/logout", Reply::json({{"success", true}}));
    m_rig.answer("GET", "/api/v1/auth/me", Reply::json({{"success", true}, {"data", userJson()}}));

    ApiManager *manager = ApiManager::instance();
    connect(manager, &ApiManager::loginStateChanged, this,
            [this](bool loggedIn) { m_events << QStringLiteral("loginStateChanged(%1)").arg(loggedIn); });
    connect(manager, &ApiManager::initialized, this,
            [this](bool success) { m_events << QStringLiteral("initialized(%1)").arg(success); });
    connect(manager, &ApiManager::maintenanceModeEntered, this,
            [this]() { m_events << "maintenanceModeEntered"; });
}

void ApiManagerTest::init()
{
    m_maintenance = false;
    m_rig.reset();
    m_events.clear();
}

void ApiManagerTest::initializeWithoutStoredToken()
{
    QVERIFY(TokenManager::instance()->token().isEmpty());
    bool result = false;
    bool called = false;
    ApiManager::instance()->initialize([&](bool success) { called = true; result = success; });
    QTRY_VERIFY(called);
    QVERIFY(result);
    QCOMPARE(m_events, QStringList({"initialized(1)"}));

    const QList<RecordedRequest> requests = m_rig.backend().requests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().path, QStringLiteral("/api/v1/configs"));
    QVERIFY(!requests.first().hasHeader("Authorization"));
}

void ApiManagerTest::initializeWithStoredTokenRefreshesUser()
{
    User stale = User::fromJson(userJson());
    stale.name = "Old name";
    TokenManager::instance()->login("tok-stored", stale);
    HttpClient::instance()->clearAuthToken();
    m_events.clear();

    bool called = false;
    ApiManager::instance()->initialize([&](bool) { called = true; });
    QTRY_VERIFY(called);
    QTRY_COMPARE(m_rig.backend().requests("GET", "/api/v1/auth/me").size(), 1);
    QCOMPARE(m_rig.backend().requests("GET", "/api/v1/auth/me").first().header("Authorization"),
             QByteArray("Bearer tok-stored"));
    QTRY_COMPARE(TokenManager::instance()->getUser().name, QStringLiteral("Demo"));
    QCOMPARE(HttpClient::instance()->authToken(), QStringLiteral("tok-stored"));

    TokenManager::instance()->logout();
    HttpClient::instance()->clearAuthToken();
}

void ApiManagerTest::initializeInMaintenanceMode()
{
    m_maintenance = true;
    bool result = false;
    bool called = false;
    ApiManager::instance()->initialize([&](bool success) {
        m_events << "callback";
        called = true;
        result = success;
    });
    QTRY_VERIFY(called);
    QVERIFY(result);
    QCOMPARE(m_events,
             QStringList({"maintenanceModeEntered", "maintenanceModeEntered", "initialized(1)", "callback"}));
}

void ApiManagerTest::failedConfigurationReportsFalse()
{
    m_rig.replaceAnswer("GET", "/api/v1/configs", 500, "<html>down</html>");

    bool result = true;
    bool called = false;
    ApiManager::instance()->initialize([&](bool success) { called = true; result = success; });
    QTRY_VERIFY(called);
    QVERIFY(!result);
    QCOMPARE(m_events, QStringList({"initialized(0)"}));
}

void ApiManagerTest::loginAndLogoutSignalOrder()
{
    bool loggedIn = false;
    ApiManager::instance()->login("demo@norvane.local", "demo1234",
                                  [&](bool success, const QString &, const User &) {
                                      m_events << "loginCallback";
                                      loggedIn = success;
                                  });
    QTRY_VERIFY(loggedIn);
    QCOMPARE(m_events, QStringList({"loginStateChanged(1)", "loginCallback", "loginStateChanged(1)"}));
    QVERIFY(ApiManager::instance()->isLoggedIn());
    QCOMPARE(ApiManager::instance()->currentUser().email, QStringLiteral("demo@norvane.local"));

    m_events.clear();
    bool loggedOut = false;
    ApiManager::instance()->logout([&](bool success, const QString &message) {
        m_events << QStringLiteral("logoutCallback(%1,%2)").arg(success).arg(message);
        loggedOut = true;
    });
    QTRY_VERIFY(loggedOut);
    QCOMPARE(m_events, QStringList({"loginStateChanged(0)", "logoutCallback(1,登出成功)", "loginStateChanged(0)",
                                    "loginStateChanged(0)"}));
    QVERIFY(!ApiManager::instance()->isLoggedIn());
    QVERIFY(HttpClient::instance()->authToken().isEmpty());
}

void ApiManagerTest::logoutCleansUpEvenWhenTheRequestFails()
{
    TokenManager::instance()->login("tok-x", User::fromJson(userJson()));
    HttpClient::instance()->setAuthToken("tok-x");
    Norvane::Api::Services::PaymentService::instance()->setPollInterval(60000);
    Norvane::Api::Services::PaymentService::instance()->startPolling("ORD-1");
    QVERIFY(Norvane::Api::Services::PaymentService::instance()->isPolling());

    Fault fault;
    fault.status = 503;
    m_rig.backend().setFault("POST", "/api/v1/auth/logout", fault);
    bool done = false;
    ApiManager::instance()->logout([&](bool success, const QString &) { done = success; });
    QTRY_VERIFY(done);

    QVERIFY(!ApiManager::instance()->isLoggedIn());
    QVERIFY(!Norvane::Api::Services::PaymentService::instance()->isPolling());
    QVERIFY(Norvane::Api::Services::ServerService::instance()->cachedServers().isEmpty());
    QVERIFY(Norvane::Api::Services::OrderService::instance()->cachedOrders().isEmpty());
}

void ApiManagerTest::canConnect_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("vip");
    QTest::addColumn<int>("vipDaysAhead");
    QTest::addColumn<bool>("trialUsed");
    QTest::addColumn<int>("trialHoursAhead");
    QTest::addColumn<double>("hoursLeft");
    QTest::addColumn<bool>("expected");

    const int none = 0;
    QTest::newRow("active vip") << "active" << true << 30 << false << none << 0.0 << true;
    QTest::newRow("vip not active status") << "suspended" << true << 30 << false << none << 0.0 << false;
    QTest::newRow("vip expired") << "active" << true << -1 << false << none << 0.0 << false;
    QTest::newRow("trial running") << "active" << false << none << true << 2 << 0.5 << true;
    QTest::newRow("trial no hours left") << "active" << false << none << true << 2 << 0.0 << false;
    QTest::newRow("trial expiry invalid") << "active" << false << none << true << none << 0.5 << false;
    QTest::newRow("trial expired") << "active" << false << none << true << -2 << 0.5 << false;
    QTest::newRow("trial not used") << "active" << false << none << false << 2 << 0.5 << false;
    QTest::newRow("nobody") << "" << false << none << false << none << 0.0 << false;
}

void ApiManagerTest::canConnect()
{
    QFETCH(QString, status);
    QFETCH(bool, vip);
    QFETCH(int, vipDaysAhead);
    QFETCH(bool, trialUsed);
    QFETCH(int, trialHoursAhead);
    QFETCH(double, hoursLeft);
    QFETCH(bool, expected);

    const QDateTime now = QDateTime::currentDateTimeUtc();
    User user = User::fromJson(userJson());
    user.status = status;
    user.isVip = vip;
    if (vipDaysAhead != 0)
        user.vipExpiresAt = now.addDays(vipDaysAhead);
    user.trialUsed = trialUsed;
    if (trialHoursAhead != 0)
        user.trialExpiresAt = now.addSecs(trialHoursAhead * 3600);
    user.trialHoursRemaining = hoursLeft;
    TokenManager::instance()->saveUser(status.isEmpty() ? User() : user);

    QCOMPARE(ApiManager::instance()->canConnect(), expected);
}

QTEST_GUILESS_MAIN(ApiManagerTest)
#include "tst_apimanager.moc"
