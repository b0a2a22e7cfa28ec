#include "api/models/User.h"
#include "api/network/HttpClient.h"
#include "api/security/TokenManager.h"
#include "api/services/ConfigService.h"
#include "api/storage/LocalStorage.h"
#include "support/BackendTestRig.h"
#include "support/LogCapture.h"
#include "support/WaitForCount.h"

#include <QJsonDocument>
#include <QTest>

using Norvane::Api::Models::SystemConfig;
using Norvane::Api::Models::TrialStatus;
using Norvane::Api::Models::User;
using Norvane::Api::Network::HttpClient;
using Norvane::Api::Security::TokenManager;
using Norvane::Api::Services::ConfigService;
using Norvane::Api::Storage::LocalStorage;
using Norvane::LocalBackend::Fault;
using Norvane::LocalBackend::RecordedRequest;
using Norvane::LocalBackend::Reply;

namespace {

const QString kInvalid = QStringLiteral("响应数据无效");

QJsonObject item(const QString &type, const QJsonValue &value)
{
    return {{"type", type}, {"value", value}, {"name", ""}, {"description", ""}};
}

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray envelope(const QJsonObject &data)
{
    return compact({{"success", true}, {"message", "ok"}, {"data", data}});
}

QJsonObject baselineConfig()
{
    return {{"app_name", item("string", "基线应用")},
            {"vpn_encrypt_key", item("string", "base-key")},
            {"vpn_encrypt_enabled", item("boolean", true)},
            {"api_encrypt_enabled", item("boolean", true)},
            {"api_secret_key", item("string", "base-secret")}};
}

QJsonObject userJson(int id, const QString &email, bool trialUsed)
{
    return {{"id", id}, {"email", email}, {"status", "active"}, {"trial_used", trialUsed}};
}

LocalStorage *storage()
{
    return LocalStorage::instance();
}

} // namespace

class ConfigServiceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    // Runs first: it checks what the constructor applied from the cache.
    void cachedConfigurationAppliedAtStart();
    void requestShapes_data();
    void requestShapes();
    void successfulReplyIsCachedAndApplied_data();
    void successfulReplyIsCachedAndApplied();
    void unusableReplyChangesNothing_data();
    void unusableReplyChangesNothing();
    void initializePassesTheOutcome_data();
    void initializePassesTheOutcome();
    void trialStatus_data();
    void trialStatus();
    void trialActivation_data();
    void trialActivation();
    void trialReplyAfterLoginChangeIsDropped_data();
    void trialReplyAfterLoginChangeIsDropped();

private:
    void applyBaseline();
    ConfigService::ConfigCallback recordingConfigCallback();
    void startTrialActivation(bool vip);
    bool waitForCallbacks(int count = 1);

    BackendTestRig m_rig;
    QStringList m_events;
    int m_callbacks = 0;

    bool m_signedRepliesBeforeStart = true;
    QString m_appNameAtStart;
    QString m_linkKeyAtStart;
    bool m_signedRepliesAtStart = false;
};

void ConfigServiceTest::initTestCase()
{
    QVERIFY(m_rig.start());

    // A configuration cached by an earlier run, in place before the service exists.
    const QJsonObject cached{{"app_name", item("string", "缓存应用")},
                             {"vpn_encrypt_key", item("string", "cached-link-key")},
                             {"vpn_encrypt_enabled", item("boolean", true)},
                             {"api_encrypt_enabled", item("boolean", true)},
                             {"api_secret_key", item("string", "cached-secret")}};
    storage()->setString("cached_configs", QString::fromUtf8(compact(cached)));
    m_signedRepliesBeforeStart = HttpClient::instance()->isApiEncryptionEnabled();

    ConfigService *service = ConfigService::instance();
    m_appNameAtStart = service->currentConfig().appName;
    m_linkKeyAtStart = TokenManager::instance()->getVpnEncryptKey();
    m_signedRepliesAtStart = HttpClient::instance()->isApiEncryptionEnabled();

    connect(service, &ConfigService::maintenanceModeEntered, this,
            [this] { m_events << "maintenanceModeEntered"; });
    connect(service, &ConfigService::configUpdated, this,
            [this](const SystemConfig &config) { m_events << "configUpdated(" + config.appName + ")"; });
    connect(service, &ConfigService::trialActivated, this,
            [this](const User &user) { m_events << "trialActivated(" + user.email + ")"; });
    connect(TokenManager::instance(), &TokenManager::userChanged, this,
            [this] { m_events << "tokens.userChanged"; });
}

void ConfigServiceTest::init()
{
    m_rig.reset();
    m_events.clear();
    m_callbacks = 0;
}

void ConfigServiceTest::applyBaseline()
{
    m_rig.answer("GET", "/api/v1/configs", Reply{200, envelope(baselineConfig()), "application/json"});
    ConfigService::instance()->getConfigs(recordingConfigCallback());
    QVERIFY(waitForCallbacks());
    QCOMPARE(ConfigService::instance()->currentConfig().appName, QStringLiteral("基线应用"));
    m_rig.backend().clearRequests();
    m_events.clear();
    m_callbacks = 0;
}

ConfigService::ConfigCallback ConfigServiceTest::recordingConfigCallback()
{
    return [this](bool success, const QString &message, const SystemConfig &config) {
        m_events << QStringLiteral("callback(%1,%2,%3)")
                        .arg(success ? "true" : "false", message, config.appName);
        ++m_callbacks;
    };
}

// Its completion goes into the event list and the callback count.
void ConfigServiceTest::startTrialActivation(bool vip)
{
    ConfigService::UserCallback callback = [this](bool ok, const QString &text, const User &user) {
        m_events << QStringLiteral("callback(%1,%2,%3)").arg(ok ? "true" : "false", text, user.email);
        ++m_callbacks;
    };
    if (vip)
        ConfigService::instance()->activateVipTrial(callback);
    else
        ConfigService::instance()->activateFreeTrial(callback);
}

bool ConfigServiceTest::waitForCallbacks(int count)
{
    return waitForExactCount(m_callbacks, count);
}

void ConfigServiceTest::cachedConfigurationAppliedAtStart()
{
    QVERIFY(!m_signedRepliesBeforeStart);
    QCOMPARE(m_appNameAtStart, QStringLiteral("缓存应用"));
    QCOMPARE(m_linkKeyAtStart, QStringLiteral("cached-link-key"));
    QVERIFY(m_signedRepliesAtStart);

    // The very first request already decodes a reply signed with the cached secret.
    m_rig.backend().setSigning(true, "cached-secret");
    const QJsonObject data{{"trial", QJsonObject{{"hours_remaining", 2.5}}}, {"account_status", "active"}};
    m_rig.answer("GET", "/api/v1/trial/status", Reply{200, envelope(data), "application/json"});
    bool succeeded = false;
    TrialStatus received;
    ConfigService::instance()->getTrialStatus([&](bool success, const QString &, const TrialStatus &status) {
        succeeded = success;
        received = status;
        ++m_callbacks;
    });
    const bool answered = waitForCallbacks();
    m_rig.backend().setSigning(false, QString());
    QVERIFY(answered);
    QVERIFY(succeeded);
    QCOMPARE(received.trial.hoursRemaining, 2.5);
    QCOMPARE(received.accountStatus, QStringLiteral("active"));
}

void ConfigServiceTest::requestShapes_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("authorized");
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("configs") << "getConfigs" << QByteArray("GET") << "/api/v1/configs" << false
                             << QByteArray();
    QTest::newRow("initialize") << "initialize" << QByteArray("GET") << "/api/v1/configs" << false
                                << QByteArray();
    QTest::newRow("trial status") << "getTrialStatus" << QByteArray("GET") << "/api/v1/trial/status"
                                  << true << QByteArray();
    QTest::newRow("free trial") << "activateFreeTrial" << QByteArray("POST")
                                << "/api/v1/trial/activate-free" << true << QByteArray("{}");
    QTest::newRow("VIP trial") << "activateVipTrial" << QByteArray("POST")
                               << "/api/v1/trial/activate-vip" << true << QByteArray("{}");
}

void ConfigServiceTest::requestShapes()
{
    QFETCH(QString, operation);
    QFETCH(QByteArray, method);
    QFETCH(QString, path);
    QFETCH(bool, authorized);
    QFETCH(QByteArray, body);

    m_rig.answer(method, path, Reply::json({{"success", false}, {"message", "拒绝"}}, 403));
    // Logged in, so leaving the token off the configuration request is the service's choice.
    HttpClient::instance()->setAuthToken("tok-cfg");
    ConfigService *service = ConfigService::instance();
    auto count = [this](auto &&...) { ++m_callbacks; };
    if (operation == "getConfigs")
        service->getConfigs(count);
    else if (operation == "initialize")
        service->initialize(count);
    else if (operation == "getTrialStatus")
        service->getTrialStatus(count);
    else if (operation == "activateFreeTrial")
        service->activateFreeTrial(count);
    else
        service->activateVipTrial(count);
    const bool answered = waitForCallbacks();
    HttpClient::instance()->clearAuthToken();
    QVERIFY(answered);

    const QList<RecordedRequest> requests = m_rig.backend().requests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().method, method);
    QCOMPARE(requests.first().path, path);
    QVERIFY(requests.first().query.isEmpty());
    QCOMPARE(requests.first().header("Authorization"),
             authorized ? QByteArray("Bearer tok-cfg") : QByteArray());
    QCOMPARE(requests.first().body, body);
}

void ConfigServiceTest::successfulReplyIsCachedAndApplied_data()
{
    QTest::addColumn<QJsonObject>("data");
    QTest::addColumn<QString>("appName");
    QTest::addColumn<QString>("linkKey");
    QTest::addColumn<bool>("signedReplies");
    QTest::addColumn<bool>("maintenance");

    QTest::newRow("settings")
        << QJsonObject{{"app_name", item("string", "Norvane测试")},
                       {"vpn_encrypt_key", item("string", "link-2")},
                       {"vpn_encrypt_enabled", item("boolean", true)},
                       {"api_encrypt_enabled", item("boolean", false)},
                       {"api_secret_key", item("string", "s2")},
                       {"maintenance_mode", item("boolean", false)},
                       {"stray", "not an item"}}
        << "Norvane测试" << "link-2" << false << false;
    QTest::newRow("maintenance with signed replies")
        << QJsonObject{{"maintenance_mode", item("boolean", true)},
                       {"api_encrypt_enabled", item("boolean", true)},
                       {"api_secret_key", item("string", "s3")}}
        << "Norvane加速器" << "" << true << true;
    // No items at all: every setting falls back, the link key is emptied and signing is off.
    QTest::newRow("no items") << QJsonObject() << "Norvane加速器" << "" << false << false;
}

void ConfigServiceTest::successfulReplyIsCachedAndApplied()
{
    QFETCH(QJsonObject, data);
    QFETCH(QString, appName);
    QFETCH(QString, linkKey);
    QFETCH(bool, signedReplies);
    QFETCH(bool, maintenance);

    applyBaseline();
    m_rig.answer("GET", "/api/v1/configs", Reply{200, envelope(data), "application/json"});
    ConfigService::instance()->getConfigs(recordingConfigCallback());
    QVERIFY(waitForCallbacks());

    QStringList expected;
    if (maintenance)
        expected << "maintenanceModeEntered";
    expected << "callback(true,获取成功," + appName + ")" << "configUpdated(" + appName + ")";
    QCOMPARE(m_events, expected);

    ConfigService *service = ConfigService::instance();
    QCOMPARE(service->currentConfig().appName, appName);
    QCOMPARE(service->isMaintenanceMode(), maintenance);
    QCOMPARE(storage()->getString("cached_configs").toUtf8(), compact(data));
    QCOMPARE(TokenManager::instance()->getVpnEncryptKey(), linkKey);
    QCOMPARE(storage()->getString("vpn_encrypt_key", "absent"), linkKey);
    QCOMPARE(HttpClient::instance()->isApiEncryptionEnabled(), signedReplies);
    QCOMPARE(storage()->getString("api_encrypt_enabled"), QString(signedReplies ? "true" : "false"));
}

void ConfigServiceTest::unusableReplyChangesNothing_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("message");

    QTest::newRow("HTTP 500") << 500 << QByteArray(R"({"message":"服务器错误"})") << "服务器错误";
    QTest::newRow("HTTP 502 page") << 502 << QByteArray("<html>Bad Gateway</html>") << "";
    QTest::newRow("success false") << 200 << QByteArray(R"({"success":false,"message":"配置不可用"})")
                                   << "配置不可用";
    QTest::newRow("data missing") << 200 << QByteArray(R"({"success":true})") << kInvalid;
    QTest::newRow("data array") << 200 << QByteArray(R"({"success":true,"data":[1,2]})") << kInvalid;
    QTest::newRow("data text") << 200 << QByteArray(R"({"success":true,"data":"x"})") << kInvalid;
    QTest::newRow("portal page") << 200 << QByteArray("<html><body>请先登录热点</body></html>") << kInvalid;
}

void ConfigServiceTest::unusableReplyChangesNothing()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, message);

    applyBaseline();
    const QString cacheBefore = storage()->getString("cached_configs");
    m_rig.answer("GET", "/api/v1/configs", Reply{status, body, "application/json"});
    ConfigService::instance()->getConfigs(recordingConfigCallback());
    QVERIFY(waitForCallbacks());

    QCOMPARE(m_events, QStringList({"callback(false," + message + ",)"}));
    QCOMPARE(ConfigService::instance()->currentConfig().appName, QStringLiteral("基线应用"));
    QCOMPARE(storage()->getString("cached_configs"), cacheBefore);
    QCOMPARE(TokenManager::instance()->getVpnEncryptKey(), QStringLiteral("base-key"));
    QVERIFY(HttpClient::instance()->isApiEncryptionEnabled());
    QCOMPARE(storage()->getString("api_secret_key"), QStringLiteral("base-secret"));
}

void ConfigServiceTest::initializePassesTheOutcome_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("success");

    QTest::newRow("configuration fetched") << 200 << true;
    QTest::newRow("configuration refused") << 500 << false;
}

void ConfigServiceTest::initializePassesTheOutcome()
{
    QFETCH(int, status);
    QFETCH(bool, success);

    m_rig.answer("GET", "/api/v1/configs", Reply{status, envelope(baselineConfig()), "application/json"});
    QList<bool> outcomes;
    ConfigService::instance()->initialize([&](bool ok) {
        outcomes << ok;
        ++m_callbacks;
    });
    QVERIFY(waitForCallbacks());
    QCOMPARE(outcomes, QList<bool>({success}));
}

void ConfigServiceTest::trialStatus_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("success");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("hoursTotal");
    QTest::addColumn<bool>("isVip");

    const QJsonObject data{{"trial", QJsonObject{{"enabled", true}, {"hours_total", 2}}},
                           {"vip", QJsonObject{{"is_vip", true}, {"days_remaining", 30}}}};
    QTest::newRow("read") << 200 << envelope(data) << true << "获取成功" << 2 << true;
    QTest::newRow("refused") << 401 << QByteArray(R"({"message":"Unauthenticated."})") << false
                             << "Unauthenticated." << 0 << false;
}

void ConfigServiceTest::trialStatus()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, success);
    QFETCH(QString, message);
    QFETCH(int, hoursTotal);
    QFETCH(bool, isVip);

    m_rig.answer("GET", "/api/v1/trial/status", Reply{status, body, "application/json"});
    TrialStatus received;
    QStringList outcomes;
    ConfigService::instance()->getTrialStatus([&](bool ok, const QString &text, const TrialStatus &s) {
        outcomes << QStringLiteral("%1,%2").arg(ok ? "true" : "false", text);
        received = s;
        ++m_callbacks;
    });
    QVERIFY(waitForCallbacks());
    QCOMPARE(outcomes, QStringList({QStringLiteral("%1,%2").arg(success ? "true" : "false", message)}));
    QCOMPARE(received.trial.hoursTotal, hoursTotal);
    QCOMPARE(received.vip.isVip, isVip);
    QVERIFY(m_events.isEmpty());
}

void ConfigServiceTest::trialActivation_data()
{
    QTest::addColumn<bool>("vip");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QString>("logLine");

    const QJsonObject activated = userJson(9, "t@b.c", true);
    QTest::newRow("free activated")
        << false << 200 << compact({{"success", true}, {"message", "免费体验已激活"}, {"data", activated}})
        << "免费体验已激活" << true << "[ConfigService] 免费体验激活成功";
    QTest::newRow("VIP activated")
        << true << 200 << compact({{"success", true}, {"message", "VIP体验已激活"}, {"data", activated}})
        << "VIP体验已激活" << true << "[ConfigService] VIP体验激活成功";
    QTest::newRow("free refused")
        << false << 422 << QByteArray(R"({"success":false,"errors":{"trial":["体验次数已用完"]}})")
        << "体验次数已用完" << false << "[ConfigService] 激活免费体验失败:";
    QTest::newRow("VIP success without data")
        << true << 200 << QByteArray(R"({"success":true,"message":"ok"})") << kInvalid << false
        << "[ConfigService] 激活VIP体验失败:";
    QTest::newRow("free user without email")
        << false << 200 << compact({{"success", true}, {"data", userJson(9, "", true)}}) << kInvalid
        << false << "[ConfigService] 激活免费体验失败:";
    QTest::newRow("VIP portal page")
        << true << 200 << QByteArray("<html><body>请先登录热点</body></html>") << kInvalid << false
        << "[ConfigService] 激活VIP体验失败:";
}

void ConfigServiceTest::trialActivation()
{
    QFETCH(bool, vip);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, message);
    QFETCH(bool, stored);
    QFETCH(QString, logLine);

    m_rig.answer("POST", vip ? "/api/v1/trial/activate-vip" : "/api/v1/trial/activate-free",
                 Reply{status, body, "application/json"});
    TokenManager::instance()->login("tok-trial", User::fromJson(userJson(9, "t@b.c", false)));
    HttpClient::instance()->setAuthToken("tok-trial");
    const QString userBefore = storage()->getString("user_info");
    m_events.clear();

    LogCapture log;
    startTrialActivation(vip);
    const bool answered = waitForCallbacks();
    HttpClient::instance()->clearAuthToken();
    QVERIFY(answered);

    if (stored) {
        QCOMPARE(m_events, QStringList({"tokens.userChanged", "callback(true," + message + ",t@b.c)",
                                        "trialActivated(t@b.c)"}));
        QCOMPARE(storage()->getString("user_info").toUtf8(),
                 compact(User::fromJson(userJson(9, "t@b.c", true)).toJson()));
        QVERIFY(TokenManager::instance()->getUser().trialUsed);
    } else {
        QCOMPARE(m_events, QStringList({"callback(false," + message + ",)"}));
        QCOMPARE(storage()->getString("user_info"), userBefore);
        QVERIFY(!TokenManager::instance()->getUser().trialUsed);
    }
    QVERIFY(log.contains(logLine));
}

void ConfigServiceTest::trialReplyAfterLoginChangeIsDropped_data()
{
    QTest::addColumn<bool>("vip");
    QTest::addColumn<bool>("signInAgain");

    QTest::newRow("free trial, logged out meanwhile") << false << false;
    QTest::newRow("VIP trial, signed in as someone else meanwhile") << true << true;
}

// The reply speaks for the login it was sent under; once that login has ended it must not
// bring its user back.
void ConfigServiceTest::trialReplyAfterLoginChangeIsDropped()
{
    QFETCH(bool, vip);
    QFETCH(bool, signInAgain);

    const QString path = vip ? "/api/v1/trial/activate-vip" : "/api/v1/trial/activate-free";
    m_rig.answer("POST", path,
                 Reply::json({{"success", true}, {"message", "体验已激活"}, {"data", userJson(9, "t@b.c", true)}}));
    Fault slow;
    slow.delayMs = 400;
    m_rig.backend().setFault("POST", path, slow);
    TokenManager::instance()->login("tok-trial", User::fromJson(userJson(9, "t@b.c", false)));
    HttpClient::instance()->setAuthToken("tok-trial");

    startTrialActivation(vip);
    QTRY_COMPARE(m_rig.backend().requests("POST", path).size(), 1);

    const User other = User::fromJson(userJson(8, "other@b.c", false));
    TokenManager::instance()->logout();
    HttpClient::instance()->clearAuthToken();
    if (signInAgain) {
        TokenManager::instance()->login("tok-other", other);
        HttpClient::instance()->setAuthToken("tok-other");
    }
    const QString userAfter = storage()->getString("user_info", "absent");
    m_events.clear();

    const bool answered = waitForCallbacks();
    HttpClient::instance()->clearAuthToken();
    QVERIFY(answered);
    QCOMPARE(m_events, QStringList({"callback(false,登录状态已变更,)"}));
    QCOMPARE(storage()->getString("user_info", "absent"), userAfter);
    QCOMPARE(TokenManager::instance()->getUser().email, signInAgain ? other.email : QString());
    TokenManager::instance()->logout();
}

QTEST_GUILESS_MAIN(ConfigServiceTest)
#include "tst_configservice.moc"
