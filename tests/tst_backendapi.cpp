#include "localbackend/ApiRoutes.h"
#include "localbackend/LocalBackendServer.h"
#include "support/LogCapture.h"
#include "support/SendTogether.h"
#include "support/SignalWait.h"
#include "support/TestEnvironment.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSet>
#include <QtTest>

#include <memory>

using Norvane::LocalBackend::ApiRoutes;
using Norvane::LocalBackend::DeviceStatus;
using Norvane::LocalBackend::LocalBackendServer;

namespace {

const QString kDemoEmail = QStringLiteral("demo@norvane.local");
const QString kDemoPassword = QStringLiteral("demo1234");
const QString kVipEmail = QStringLiteral("vip@norvane.local");
const QString kVipPassword = QStringLiteral("vip12345");
const QString kUuid = QStringLiteral("7c5e2d1a-4b3f-4e8a-9d6c-1f0a2b3c4d5e");

struct Answer
{
    int status = 0;
    QByteArray body;
    QByteArray contentType;

    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
    QJsonValue data() const { return json().value("data"); }
    QString message() const { return json().value("message").toString(); }
};

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QList<int> idsOf(const QJsonValue &list)
{
    QList<int> ids;
    for (const QJsonValue &entry : list.toArray())
        ids << entry.toObject().value("id").toInt();
    return ids;
}

QJsonObject loginBody(const QString &email, const QString &password)
{
    return {{"email", email}, {"password", password}, {"device_id", "windows_test"},
            {"device_name", "test-pc"}, {"device_type", "windows"}};
}

QJsonObject registerBody(const QString &email, const QString &password = QStringLiteral("secret99"))
{
    return {{"email", email}, {"password", password}, {"password_confirmation", password},
            {"name", "新用户"}, {"device_id", "windows_test"}, {"device_name", "test-pc"},
            {"device_type", "windows"}, {"equipment", "Norvane加速器"}, {"reffer_code", QJsonValue::Null}};
}

QJsonObject paymentBody(int planId)
{
    return {{"plan_id", planId}, {"payment_method", "alipay"}, {"payment_provider", "ciyun"},
            {"device_id", "windows_test"}, {"equipment", "Norvane加速器"}};
}

QJsonObject beatBody(const QString &status, const QString &device = QStringLiteral("windows_test"))
{
    return {{"device_id", device}, {"connection_status", status}, {"upload_bytes", 1000},
            {"download_bytes", 2000}, {"latency_ms", 45}};
}

} // namespace

class BackendApiTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void publicEndpointsAnswerWithoutLogin_data();
    void publicEndpointsAnswerWithoutLogin();
    void loginEndpointsRefuseMissingAndStaleTokens_data();
    void loginEndpointsRefuseMissingAndStaleTokens();

    void login_data();
    void login();
    void logoutEndsOnlyItsOwnToken();
    void registration_data();
    void registration();
    void registeredAccountLogsIn();
    void malformedBodiesAreRefused_data();
    void malformedBodiesAreRefused();

    void serversByTierAndViewer_data();
    void serversByTierAndViewer();
    void serverDetail_data();
    void serverDetail();
    void seedServersCarryLocalVmessLinks();
    void plansOnSaleBySortOrder();
    void announcementsByPlatformAndLimit_data();
    void announcementsByPlatformAndLimit();

    void paymentFollowsItsScript_data();
    void paymentFollowsItsScript();
    void scriptOfAnOpenOrderCanBeReplaced();
    void paymentCreationRefusesBadInput_data();
    void paymentCreationRefusesBadInput();
    void ordersOfOthersAreNotFound();
    void orderHistoryPages_data();
    void orderHistoryPages();
    void paymentCodePicture();

    void heartbeatIsRecordedAndAnswered();
    void heartbeatRefusesBadFigures_data();
    void heartbeatRefusesBadFigures();
    void heartbeatRecordsKeepTheLatest();

    void freeTrialActivation();
    void vipTrialActivation();
    void trialsFollowTheConfiguration_data();
    void trialsFollowTheConfiguration();

    void signedRepliesCoverTheApi();
    void testInterfaceRefusesBadSettings();
    void malformedSeedsChangeNothing_data();
    void malformedSeedsChangeNothing();
    void reloadingTheSeedResetsTheState();

private:
    Answer send(const QByteArray &method, const QString &endpoint, const QByteArray &body = {},
                const QString &token = {});
    Answer post(const QString &endpoint, const QJsonObject &body, const QString &token = {});
    Answer get(const QString &endpoint, const QString &token = {});
    QString loginToken(const QString &email, const QString &password);
    // Creates an order for the demo account and queries it until it has ended.
    QString paidOrder(const QString &token, const QStringList &script);

    std::unique_ptr<LocalBackendServer> m_server;
    std::unique_ptr<ApiRoutes> m_routes;
    QNetworkAccessManager m_nam;
};

void BackendApiTest::initTestCase()
{
    TestEnvironment::isolate();
}

void BackendApiTest::init()
{
    m_server = std::make_unique<LocalBackendServer>();
    m_routes = std::make_unique<ApiRoutes>(*m_server);
    QVERIFY(m_server->listen());
}

void BackendApiTest::cleanup()
{
    m_server.reset();
    m_routes.reset();
}

Answer BackendApiTest::send(const QByteArray &method, const QString &endpoint, const QByteArray &body,
                            const QString &token)
{
    QNetworkRequest request(m_server->baseUrl().resolved(QUrl(endpoint)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    if (!token.isEmpty())
        request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
    std::unique_ptr<QNetworkReply> reply(m_nam.sendCustomRequest(request, method, body));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    Answer answer;
    if (!waitForEmissions(finished, 1, 10000))
        return answer;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer.body = reply->readAll();
    answer.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    return answer;
}

Answer BackendApiTest::post(const QString &endpoint, const QJsonObject &body, const QString &token)
{
    return send("POST", endpoint, compact(body), token);
}

Answer BackendApiTest::get(const QString &endpoint, const QString &token)
{
    return send("GET", endpoint, {}, token);
}

QString BackendApiTest::loginToken(const QString &email, const QString &password)
{
    return post("auth/login", loginBody(email, password)).json().value("token").toString();
}

QString BackendApiTest::paidOrder(const QString &token, const QStringList &script)
{
    if (!m_routes->setNextPaymentScript(script))
        return {};
    const QString order = post("payments/create", paymentBody(1), token).data()["order_id"].toString();
    for (int i = 0; i < script.size(); ++i)
        get("payments/status/" + order, token);
    return order;
}

void BackendApiTest::publicEndpointsAnswerWithoutLogin_data()
{
    QTest::addColumn<QString>("endpoint");
    QTest::newRow("configs") << "configs";
    QTest::newRow("plans") << "plans";
    QTest::newRow("announcements") << "announcements?platform=windows";
    QTest::newRow("servers") << "servers";
    QTest::newRow("server detail") << "servers/1";
}

void BackendApiTest::publicEndpointsAnswerWithoutLogin()
{
    QFETCH(QString, endpoint);
    const Answer answer = get(endpoint);
    QCOMPARE(answer.status, 200);
    QCOMPARE(answer.contentType, QByteArray("application/json"));
    QCOMPARE(answer.json().value("success"), QJsonValue(true));
    QCOMPARE(answer.message(), QString("获取成功"));
    QVERIFY(answer.data().isObject() || answer.data().isArray());
}

void BackendApiTest::loginEndpointsRefuseMissingAndStaleTokens_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QString>("endpoint");
    QTest::addColumn<QJsonObject>("body");

    QTest::newRow("logout") << QByteArray("POST") << "auth/logout" << QJsonObject();
    QTest::newRow("me") << QByteArray("GET") << "auth/me" << QJsonObject();
    QTest::newRow("trial status") << QByteArray("GET") << "trial/status" << QJsonObject();
    QTest::newRow("free trial") << QByteArray("POST") << "trial/activate-free" << QJsonObject();
    QTest::newRow("vip trial") << QByteArray("POST") << "trial/activate-vip" << QJsonObject();
    QTest::newRow("create payment") << QByteArray("POST") << "payments/create" << paymentBody(1);
    QTest::newRow("payment status") << QByteArray("GET") << "payments/status/NV1" << QJsonObject();
    QTest::newRow("orders") << QByteArray("GET") << "orders?page=1&per_page=100" << QJsonObject();
    QTest::newRow("heartbeat") << QByteArray("POST") << "heartbeat" << beatBody("connected");
    QTest::newRow("heartbeat stats") << QByteArray("GET") << "heartbeat/stats" << QJsonObject();
    // Public, but a token that is sent must be valid.
    QTest::newRow("servers") << QByteArray("GET") << "servers" << QJsonObject();
}

void BackendApiTest::loginEndpointsRefuseMissingAndStaleTokens()
{
    QFETCH(QByteArray, method);
    QFETCH(QString, endpoint);
    QFETCH(QJsonObject, body);
    const QByteArray payload = method == "POST" ? compact(body) : QByteArray();
    const QJsonObject refused{{"success", false}, {"message", "未登录或登录已过期"}};

    const QString stale = loginToken(kDemoEmail, kDemoPassword);
    QCOMPARE(post("auth/logout", {}, stale).status, 200);
    const QStringList tokens{"", stale, "not-a-token"};
    for (const QString &token : tokens) {
        if (token.isEmpty() && endpoint == u"servers")
            continue;
        const Answer answer = send(method, endpoint, payload, token);
        QCOMPARE(answer.status, 401);
        QCOMPARE(answer.json(), refused);
    }
    QVERIFY(m_routes->orders().isEmpty());
    QVERIFY(m_routes->heartbeats().isEmpty());
}

void BackendApiTest::login_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");

    QTest::newRow("demo") << kDemoEmail << kDemoPassword << 200 << "登录成功";
    QTest::newRow("e-mail in other case") << "Demo@Norvane.Local" << kDemoPassword << 200 << "登录成功";
    QTest::newRow("wrong password") << kDemoEmail << "demo12345" << 401 << "邮箱或密码错误";
    QTest::newRow("unknown e-mail") << "nobody@norvane.local" << kDemoPassword << 401 << "邮箱或密码错误";
    QTest::newRow("no e-mail") << "" << kDemoPassword << 422 << "邮箱不能为空";
    QTest::newRow("no password") << kDemoEmail << "" << 422 << "密码不能为空";
}

void BackendApiTest::login()
{
    QFETCH(QString, email);
    QFETCH(QString, password);
    QFETCH(int, status);
    QFETCH(QString, message);

    const Answer answer = post("auth/login", loginBody(email, password));
    QCOMPARE(answer.status, status);
    QCOMPARE(answer.message(), message);
    QCOMPARE(answer.json().value("success").toBool(), status == 200);
    if (status != 200) {
        QVERIFY(!answer.json().contains("token"));
        return;
    }
    const QString token = answer.json().value("token").toString();
    QVERIFY2(token.size() >= 32, qPrintable(token));
    const QJsonObject user = answer.data().toObject();
    QCOMPARE(user.value("id").toInt(), 1);
    QCOMPARE(user.value("email").toString(), kDemoEmail);
    QCOMPARE(user.value("status").toString(), QString("active"));
    QCOMPARE(user.value("is_vip"), QJsonValue(false));
    QCOMPARE(user.value("vip_expires_at"), QJsonValue(QJsonValue::Null));
    QCOMPARE(user.value("trial_used"), QJsonValue(true));
    QCOMPARE(user.value("trial_hours_total").toInt(), 2);
    QCOMPARE(user.value("trial_hours_remaining").toDouble(), 2.0);
    const QDateTime trialEnd = QDateTime::fromString(user.value("trial_expires_at").toString(), Qt::ISODate);
    QVERIFY(trialEnd > QDateTime::currentDateTimeUtc().addSecs(3600));

    const Answer me = get("auth/me", token);
    QCOMPARE(me.status, 200);
    QCOMPARE(me.data().toObject().value("email").toString(), kDemoEmail);
    QCOMPARE(me.data().toObject().value("trial_expires_at"), user.value("trial_expires_at"));
}

void BackendApiTest::logoutEndsOnlyItsOwnToken()
{
    const QString first = loginToken(kDemoEmail, kDemoPassword);
    const QString second = loginToken(kDemoEmail, kDemoPassword);
    QVERIFY(!first.isEmpty());
    QVERIFY(first != second);

    const Answer logout = post("auth/logout", {}, first);
    QCOMPARE(logout.status, 200);
    QCOMPARE(logout.json(), (QJsonObject{{"success", true}, {"message", "登出成功"}}));
    QCOMPARE(get("auth/me", first).status, 401);
    QCOMPARE(get("auth/me", second).status, 200);
    QCOMPARE(post("auth/logout", {}, first).status, 401);
}

void BackendApiTest::registration_data()
{
    QTest::addColumn<QJsonObject>("body");
    QTest::addColumn<bool>("open");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("field");   // empty: no "errors"
    QTest::addColumn<QString>("message");

    QJsonObject body = registerBody("new@norvane.local");
    QTest::newRow("accepted") << body << true << 201 << "" << "注册成功";
    QTest::newRow("registration closed") << body << false << 403 << "" << "注册功能已关闭";
    QTest::newRow("e-mail taken") << registerBody("DEMO@norvane.local") << true << 422 << "email" << "该邮箱已被注册";
    QTest::newRow("e-mail malformed") << registerBody("new.norvane.local") << true << 422 << "email" << "邮箱格式不正确";
    QTest::newRow("password short") << registerBody("new@norvane.local", "12345") << true << 422 << "password"
                                    << "密码至少需要6位";
    body = registerBody("new@norvane.local");
    body.insert("password_confirmation", "secret98");
    QTest::newRow("confirmation differs") << body << true << 422 << "password_confirmation" << "两次输入的密码不一致";
    body = registerBody("new@norvane.local");
    body.insert("reffer_code", 42);
    QTest::newRow("referral code not text") << body << true << 422 << "reffer_code" << "邀请码必须是文本";
    body = registerBody("new@norvane.local");
    body.remove("device_id");
    QTest::newRow("no device id") << body << true << 422 << "device_id" << "设备ID不能为空";
}

void BackendApiTest::registration()
{
    QFETCH(QJsonObject, body);
    QFETCH(bool, open);
    QFETCH(int, status);
    QFETCH(QString, field);
    QFETCH(QString, message);
    QVERIFY(m_routes->setConfigValue("enable_registration", open));
    const int accountsBefore = m_routes->account("new@norvane.local") ? 1 : 0;

    const Answer answer = post("auth/register", body);
    QCOMPARE(answer.status, status);
    QCOMPARE(answer.message(), message);
    if (status != 201) {
        QCOMPARE(answer.json().value("success"), QJsonValue(false));
        QCOMPARE(answer.json().value("errors").toObject().value(field).toArray().at(0).toString(),
                 field.isEmpty() ? QString() : message);
        QCOMPARE(m_routes->account("new@norvane.local") ? 1 : 0, accountsBefore);
        return;
    }
    const QJsonObject user = answer.data().toObject();
    QCOMPARE(user.value("id").toInt(), 3);
    QCOMPARE(user.value("email").toString(), QString("new@norvane.local"));
    QCOMPARE(user.value("name").toString(), QString("新用户"));
    QCOMPARE(user.value("trial_used"), QJsonValue(false));
    QCOMPARE(user.value("is_vip"), QJsonValue(false));
    // A sign-up leaves the user signed in.
    const QString token = answer.json().value("token").toString();
    QCOMPARE(get("auth/me", token).data().toObject().value("id").toInt(), 3);
}

void BackendApiTest::registeredAccountLogsIn()
{
    QCOMPARE(post("auth/register", registerBody("Mixed@Norvane.Local")).status, 201);
    QCOMPARE(m_routes->account("mixed@norvane.local")->email, QString("mixed@norvane.local"));
    QVERIFY(!loginToken("mixed@norvane.local", "secret99").isEmpty());
    QCOMPARE(post("auth/login", loginBody("mixed@norvane.local", "secret98")).status, 401);
}

void BackendApiTest::malformedBodiesAreRefused_data()
{
    QTest::addColumn<QString>("endpoint");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("login, not JSON") << "auth/login" << QByteArray("email=demo");
    QTest::newRow("login, array") << "auth/login" << QByteArray("[]");
    QTest::newRow("register, truncated") << "auth/register" << QByteArray("{\"email\":");
    QTest::newRow("payment, not JSON") << "payments/create" << QByteArray("plan=1");
    QTest::newRow("heartbeat, not JSON") << "heartbeat" << QByteArray("beat");
}

void BackendApiTest::malformedBodiesAreRefused()
{
    QFETCH(QString, endpoint);
    QFETCH(QByteArray, body);
    const QString token = loginToken(kDemoEmail, kDemoPassword);
    LogCapture log;
    const Answer answer = send("POST", endpoint, body, token);
    QCOMPARE(answer.status, 400);
    QCOMPARE(answer.json(), (QJsonObject{{"success", false}, {"message", "请求体必须是JSON对象"}}));
    QVERIFY(log.contains("请求体必须是JSON对象"));
    QVERIFY(m_routes->orders().isEmpty());
    QVERIFY(m_routes->heartbeats().isEmpty());
}

void BackendApiTest::serversByTierAndViewer_data()
{
    QTest::addColumn<QString>("email");  // empty: no login
    QTest::addColumn<QString>("query");
    QTest::addColumn<QList<int>>("ids");
    QTest::addColumn<QList<bool>>("canConnect");

    QTest::newRow("anonymous, all") << "" << "" << QList<int>{1, 2, 3} << QList<bool>{false, false, false};
    QTest::newRow("free account, all") << kDemoEmail << "" << QList<int>{1, 2, 3} << QList<bool>{true, false, false};
    QTest::newRow("free account, free") << kDemoEmail << "?tier=free" << QList<int>{1} << QList<bool>{true};
    QTest::newRow("free account, vip") << kDemoEmail << "?tier=vip" << QList<int>{2, 3} << QList<bool>{false, false};
    QTest::newRow("vip account, all") << kVipEmail << "" << QList<int>{1, 2, 3} << QList<bool>{true, true, true};
}

void BackendApiTest::serversByTierAndViewer()
{
    QFETCH(QString, email);
    QFETCH(QString, query);
    QFETCH(QList<int>, ids);
    QFETCH(QList<bool>, canConnect);
    const QString token = email.isEmpty() ? QString()
                                          : loginToken(email, email == kVipEmail ? kVipPassword : kDemoPassword);

    const Answer answer = get("servers" + query, token);
    QCOMPARE(answer.status, 200);
    QCOMPARE(idsOf(answer.data()), ids);
    QList<bool> seen;
    for (const QJsonValue &server : answer.data().toArray()) {
        const QJsonObject object = server.toObject();
        seen << object.value("can_connect").toBool();
        QCOMPARE(object.value("requires_vip").toBool(), object.value("tier").toString() == u"vip");
    }
    QCOMPARE(seen, canConnect);
}

void BackendApiTest::serverDetail_data()
{
    QTest::addColumn<QString>("endpoint");
    QTest::addColumn<int>("status");
    QTest::newRow("vip server") << "servers/2" << 200;
    QTest::newRow("unknown id") << "servers/99" << 404;
    QTest::newRow("not a number") << "servers/abc" << 404;
    QTest::newRow("zero") << "servers/0" << 404;
}

void BackendApiTest::serverDetail()
{
    QFETCH(QString, endpoint);
    QFETCH(int, status);
    const Answer answer = get(endpoint, loginToken(kVipEmail, kVipPassword));
    QCOMPARE(answer.status, status);
    if (status == 404) {
        QCOMPARE(answer.json(), (QJsonObject{{"success", false}, {"message", "服务器不存在"}}));
        return;
    }
    const QJsonObject server = answer.data().toObject();
    QCOMPARE(server.value("id").toInt(), 2);
    QCOMPARE(server.value("tier").toString(), QString("vip"));
    QCOMPARE(server.value("can_connect"), QJsonValue(true));
    QVERIFY(server.value("vmess_link").toString().startsWith("vmess://"));
}

void BackendApiTest::seedServersCarryLocalVmessLinks()
{
    const Answer answer = get("servers");
    QCOMPARE(idsOf(answer.data()).size(), 3);
    QSet<QString> endpoints;
    for (const QJsonValue &server : answer.data().toArray()) {
        const QString link = server.toObject().value("vmess_link").toString();
        QVERIFY(link.startsWith("vmess://"));
        const QJsonObject vmess = QJsonDocument::fromJson(QByteArray::fromBase64(link.mid(8).toUtf8())).object();
        QCOMPARE(vmess.value("add").toString(), QString("127.0.0.1"));
        QCOMPARE(vmess.value("id").toString(), kUuid);
        QVERIFY(vmess.value("port").isString());
        const QString port = vmess.value("port").toString();
        const QString net = vmess.value("net").toString();
        if (port == u"18080") {
            QCOMPARE(net, QString("tcp"));
        } else {
            QCOMPARE(port, QString("18081"));
            QCOMPARE(net, QString("ws"));
            QCOMPARE(vmess.value("path").toString(), QString("/ws"));
        }
        endpoints.insert(port + net);
    }
    QCOMPARE(endpoints, (QSet<QString>{"18080tcp", "18081ws"}));
}

void BackendApiTest::plansOnSaleBySortOrder()
{
    const Answer answer = get("plans", loginToken(kDemoEmail, kDemoPassword));
    QCOMPARE(answer.status, 200);
    QCOMPARE(idsOf(answer.data()), (QList<int>{1, 2, 3}));
    const QJsonObject month = answer.data().toArray().first().toObject();
    QCOMPARE(month.value("name").toString(), QString("月卡"));
    QCOMPARE(month.value("days").toInt(), 30);
    QCOMPARE(month.value("price").toDouble(), 15.0);
    QCOMPARE(month.value("currency").toString(), QString("CNY"));
    QCOMPARE(month.value("is_active"), QJsonValue(true));
    // The plans endpoint never looks at the token.
    QVERIFY(!m_server->requests().last().header("Authorization").isEmpty());
}

void BackendApiTest::announcementsByPlatformAndLimit_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("status");
    QTest::addColumn<QList<int>>("ids");
    QTest::newRow("windows") << "?platform=windows" << 200 << QList<int>{4, 2, 1};
    QTest::newRow("android") << "?platform=android" << 200 << QList<int>{4, 3, 1};
    QTest::newRow("empty platform") << "?platform=" << 200 << QList<int>{4, 3, 2, 1};
    QTest::newRow("limit") << "?platform=windows&limit=2" << 200 << QList<int>{4, 2};
    QTest::newRow("unknown platform") << "?platform=symbian" << 422 << QList<int>();
    QTest::newRow("negative limit") << "?platform=windows&limit=-1" << 422 << QList<int>();
    QTest::newRow("limit not a number") << "?platform=windows&limit=few" << 422 << QList<int>();
}

void BackendApiTest::announcementsByPlatformAndLimit()
{
    QFETCH(QString, query);
    QFETCH(int, status);
    QFETCH(QList<int>, ids);
    const Answer answer = get("announcements" + query);
    QCOMPARE(answer.status, status);
    if (status != 200) {
        QCOMPARE(answer.json().value("success"), QJsonValue(false));
        QVERIFY(!answer.json().value("errors").toObject().isEmpty());
        return;
    }
    QCOMPARE(idsOf(answer.data()), ids);
    const QJsonObject newest = answer.data().toArray().first().toObject();
    QCOMPARE(newest.value("title").toString(), QString("春节活动"));
    QCOMPARE(newest.value("published_at").toString(), QString("2025-01-20T08:00:00Z"));
}

void BackendApiTest::paymentFollowsItsScript_data()
{
    QTest::addColumn<QStringList>("script");     // empty: the default
    QTest::addColumn<QStringList>("statuses");   // of successive status queries
    QTest::addColumn<bool>("becomesVip");

    QTest::newRow("default") << QStringList() << QStringList{"pending", "pending", "completed", "completed"} << true;
    QTest::newRow("cancelled") << QStringList{"pending", "cancelled"} << QStringList{"pending", "cancelled", "cancelled"}
                               << false;
    QTest::newRow("refunded at once") << QStringList{"refunded"} << QStringList{"refunded", "refunded"} << false;
    QTest::newRow("never ends") << QStringList{"processing"} << QStringList{"processing", "processing"} << false;
}

void BackendApiTest::paymentFollowsItsScript()
{
    QFETCH(QStringList, script);
    QFETCH(QStringList, statuses);
    QFETCH(bool, becomesVip);
    const QString token = loginToken(kDemoEmail, kDemoPassword);
    if (!script.isEmpty())
        QVERIFY(m_routes->setNextPaymentScript(script));

    const Answer created = post("payments/create", paymentBody(1), token);
    QCOMPARE(created.status, 200);
    QCOMPARE(created.message(), QString("订单创建成功"));
    const QJsonObject order = created.data().toObject();
    const QString number = order.value("order_id").toString();
    QVERIFY2(number.startsWith("NV"), qPrintable(number));
    QCOMPARE(order.value("amount").toDouble(), 15.0);
    QCOMPARE(order.value("plan_name").toString(), QString("月卡"));
    QCOMPARE(order.value("plan_days").toInt(), 30);
    QCOMPARE(QUrl(order.value("payment_url").toString()).path(), "/pay/" + number);

    QStringList seen;
    for (int i = 0; i < statuses.size(); ++i) {
        const Answer status = get("payments/status/" + number, token);
        QCOMPARE(status.status, 200);
        QCOMPARE(status.message(), QString("查询成功"));
        QCOMPARE(status.data()["order_id"].toString(), number);
        seen << status.data()["status"].toString();
    }
    QCOMPARE(seen, statuses);

    const QDateTime now = QDateTime::currentDateTimeUtc();
    const auto account = m_routes->account(kDemoEmail);
    QCOMPARE(account->isVipActive(now), becomesVip);
    if (becomesVip) {
        // Granted once, however often the completed order is queried.
        QVERIFY(qAbs(account->vipExpiresAt.secsTo(now.addDays(30))) < 60);
        QCOMPARE(get("auth/me", token).data()["is_vip"], QJsonValue(true));
    }
    const QJsonArray history = get("orders", token).data().toArray();
    const bool ended = statuses.last() != u"processing";
    QCOMPARE(history.size(), ended ? 1 : 0);
    if (ended) {
        QCOMPARE(history.first()["order_number"].toString(), number);
        QCOMPARE(history.first()["status"].toString(), statuses.last());
        QCOMPARE(history.first()["paid_at"].isString(), becomesVip);
    }
    // The next order follows the default script again.
    const QString next = post("payments/create", paymentBody(1), token).data()["order_id"].toString();
    QCOMPARE(m_routes->orders().last().orderNumber, next);
    QCOMPARE(m_routes->orders().last().script, (QStringList{"pending", "pending", "completed"}));
}

void BackendApiTest::scriptOfAnOpenOrderCanBeReplaced()
{
    const QString token = loginToken(kVipEmail, kVipPassword);
    const QDateTime vipBefore = m_routes->account(kVipEmail)->vipExpiresAt;
    const QString number = post("payments/create", paymentBody(2), token).data()["order_id"].toString();
    QCOMPARE(get("payments/status/" + number, token).data()["status"].toString(), QString("pending"));
    QVERIFY(m_routes->setPaymentScript(number, {"completed"}));
    QCOMPARE(get("payments/status/" + number, token).data()["status"].toString(), QString("completed"));

    // An active VIP is extended, not restarted.
    QVERIFY(qAbs(m_routes->account(kVipEmail)->vipExpiresAt.secsTo(vipBefore.addDays(90))) < 5);
    QString error;
    QVERIFY(!m_routes->setPaymentScript(number, {"refunded"}, &error));
    QVERIFY2(error.contains("has ended as completed"), qPrintable(error));
}

void BackendApiTest::paymentCreationRefusesBadInput_data()
{
    QTest::addColumn<QJsonObject>("body");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("message");

    QJsonObject body = paymentBody(99);
    QTest::newRow("unknown plan") << body << "plan_id" << "套餐不存在或已下架";
    QTest::newRow("plan off sale") << paymentBody(4) << "plan_id" << "套餐不存在或已下架";
    body = paymentBody(1);
    body.insert("plan_id", "1");
    QTest::newRow("plan id as text") << body << "plan_id" << "套餐ID无效";
    body = paymentBody(1);
    body.insert("payment_method", "bitcoin");
    QTest::newRow("unknown method") << body << "payment_method" << "不支持的支付方式: bitcoin";
    body = paymentBody(1);
    body.insert("payment_provider", "other");
    QTest::newRow("unknown provider") << body << "payment_provider" << "不支持的支付渠道";
    body = paymentBody(1);
    body.insert("device_id", "");
    QTest::newRow("no device id") << body << "device_id" << "设备ID不能为空";
}

void BackendApiTest::paymentCreationRefusesBadInput()
{
    QFETCH(QJsonObject, body);
    QFETCH(QString, field);
    QFETCH(QString, message);
    const Answer answer = post("payments/create", body, loginToken(kDemoEmail, kDemoPassword));
    QCOMPARE(answer.status, 422);
    QCOMPARE(answer.message(), message);
    QCOMPARE(answer.json().value("errors").toObject(), (QJsonObject{{field, QJsonArray{message}}}));
    QVERIFY(m_routes->orders().isEmpty());
}

void BackendApiTest::ordersOfOthersAreNotFound()
{
    const QString demo = loginToken(kDemoEmail, kDemoPassword);
    const QString vip = loginToken(kVipEmail, kVipPassword);
    const QString number = paidOrder(demo, {"completed"});
    QVERIFY(!number.isEmpty());

    const Answer answer = get("payments/status/" + number, vip);
    QCOMPARE(answer.status, 404);
    QCOMPARE(answer.json(), (QJsonObject{{"success", false}, {"message", "订单不存在"}}));
    QCOMPARE(get("payments/status/NV-unknown", demo).status, 404);
    QVERIFY(get("orders", vip).data().toArray().isEmpty());
}

void BackendApiTest::orderHistoryPages_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("status");
    QTest::addColumn<QList<int>>("orderIndexes"); // of the five orders made, 0 the oldest
    QTest::addColumn<QJsonObject>("meta");
    QTest::addColumn<QString>("prev");            // page numbers; empty: null
    QTest::addColumn<QString>("next");

    const auto meta = [](int page, int from, int last, int per, int to, int total) {
        return QJsonObject{{"current_page", page}, {"from", from}, {"last_page", last},
                           {"per_page", per}, {"to", to}, {"total", total}};
    };
    QTest::newRow("first page") << "?page=1&per_page=2" << 200 << QList<int>{4, 3} << meta(1, 1, 3, 2, 2, 5) << "" << "2";
    QTest::newRow("middle page") << "?page=2&per_page=2" << 200 << QList<int>{2, 1} << meta(2, 3, 3, 2, 4, 5) << "1" << "3";
    QTest::newRow("last page") << "?page=3&per_page=2" << 200 << QList<int>{0} << meta(3, 5, 3, 2, 5, 5) << "2" << "";
    QTest::newRow("past the end") << "?page=4&per_page=2" << 200 << QList<int>() << meta(4, 0, 3, 2, 0, 5) << "3" << "";
    QTest::newRow("defaults") << "" << 200 << QList<int>{4, 3, 2, 1, 0} << meta(1, 1, 1, 20, 5, 5) << "" << "";
    QTest::newRow("the client's request") << "?page=1&per_page=100" << 200 << QList<int>{4, 3, 2, 1, 0}
                                          << meta(1, 1, 1, 100, 5, 5) << "" << "";
    QTest::newRow("page 0") << "?page=0&per_page=2" << 422 << QList<int>() << QJsonObject() << "" << "";
    QTest::newRow("page not a number") << "?page=two" << 422 << QList<int>() << QJsonObject() << "" << "";
    QTest::newRow("per_page 0") << "?page=1&per_page=0" << 422 << QList<int>() << QJsonObject() << "" << "";
    QTest::newRow("per_page 101") << "?page=1&per_page=101" << 422 << QList<int>() << QJsonObject() << "" << "";
}

void BackendApiTest::orderHistoryPages()
{
    QFETCH(QString, query);
    QFETCH(int, status);
    QFETCH(QList<int>, orderIndexes);
    QFETCH(QJsonObject, meta);
    QFETCH(QString, prev);
    QFETCH(QString, next);

    const QString token = loginToken(kDemoEmail, kDemoPassword);
    QStringList made;
    for (int i = 0; i < 5; ++i)
        made << paidOrder(token, {"completed"});
    post("payments/create", paymentBody(1), token); // still open: not in the history

    const Answer answer = get("orders" + query, token);
    QCOMPARE(answer.status, status);
    if (status != 200) {
        QCOMPARE(answer.json().value("success"), QJsonValue(false));
        QCOMPARE(answer.json().value("errors").toObject().size(), 1);
        return;
    }
    QStringList numbers;
    for (const QJsonValue &order : answer.data().toArray())
        numbers << order["order_number"].toString();
    QStringList expected;
    for (int index : orderIndexes)
        expected << made.at(index);
    QCOMPARE(numbers, expected);
    QCOMPARE(answer.json().value("meta").toObject(), meta);

    const QJsonObject links = answer.json().value("links").toObject();
    const auto pageLink = [&](const QString &page) -> QJsonValue {
        if (page.isEmpty())
            return QJsonValue::Null;
        return m_server->baseUrl().toString()
            + QStringLiteral("orders?page=%1&per_page=%2").arg(page).arg(meta["per_page"].toInt());
    };
    QCOMPARE(links.value("first"), pageLink("1"));
    QCOMPARE(links.value("last"), pageLink(QString::number(meta["last_page"].toInt())));
    QCOMPARE(links.value("prev"), pageLink(prev));
    QCOMPARE(links.value("next"), pageLink(next));

    if (!answer.data().toArray().isEmpty()) {
        const QJsonObject order = answer.data().toArray().first().toObject();
        QCOMPARE(order.value("status_text").toString(), QString("已完成"));
        QCOMPARE(order.value("payment_method_text").toString(), QString("支付宝"));
        QCOMPARE(order.value("payment_currency").toString(), QString("CNY"));
        QVERIFY(QDateTime::fromString(order.value("paid_at").toString(), Qt::ISODate).isValid());
    }
}

void BackendApiTest::paymentCodePicture()
{
    const QString token = loginToken(kDemoEmail, kDemoPassword);
    QVERIFY(m_routes->setConfigValue("api_secret_key", "k-1"));
    QVERIFY(m_routes->setConfigValue("api_encrypt_enabled", true));
    const QByteArray signedCreate = post("payments/create", paymentBody(1), token).body;
    const QJsonObject created =
        QJsonDocument::fromJson(QByteArray::fromBase64(QJsonDocument::fromJson(signedCreate)["data"].toString().toUtf8()))
            .object();
    const QUrl url(created["data"]["payment_url"].toString());
    QCOMPARE(url.host(), QString("127.0.0.1"));
    QCOMPARE(url.port(), int(m_server->port()));

    // Fetched like a picture view does: no token, and never in the signed form.
    const Answer picture = get(url.toString());
    QCOMPARE(picture.status, 200);
    QCOMPARE(picture.contentType, QByteArray("image/png"));
    QVERIFY(picture.body.startsWith("\x89PNG\r\n\x1a\n"));
    QCOMPARE(get(m_server->baseUrl().resolved(QUrl("/pay/NV-none")).toString()).status, 404);
}

void BackendApiTest::heartbeatIsRecordedAndAnswered()
{
    QCOMPARE(m_routes->heartbeatInterval(), 30);
    QCOMPARE(m_routes->deviceStatus().status, QString("active"));
    const QString token = loginToken(kDemoEmail, kDemoPassword);

    const Answer first = post("heartbeat", beatBody("connected"), token);
    QCOMPARE(first.status, 200);
    QCOMPARE(first.message(), QString("心跳成功"));
    const QJsonObject data = first.data().toObject();
    QCOMPARE(data.value("interval").toInt(), 30);
    QCOMPARE(data["device_status"].toObject(),
             (QJsonObject{{"status", "active"}, {"force_disconnect", false}, {"message", ""}}));
    QCOMPARE(data["user_status"]["is_vip"], QJsonValue(false));
    QCOMPARE(data["user_status"]["trial_used"], QJsonValue(true));
    QCOMPARE(data["user_status"]["trial_hours_remaining"].toDouble(), 2.0);
    QCOMPARE(data["server_status"]["current_users"].toInt(), 1);

    post("heartbeat", beatBody("connected", "windows_other"), loginToken(kVipEmail, kVipPassword));
    QCOMPARE(get("heartbeat/stats", token).data().toObject(),
             (QJsonObject{{"online_users", 2}, {"online_devices", 2}}));

    m_routes->setDeviceStatus({"kicked", true, "您的账号在其他设备登录，已被强制下线"});
    QVERIFY(m_routes->setHeartbeatInterval(5));
    const QJsonObject kicked = post("heartbeat", beatBody("disconnected"), token).data().toObject();
    QCOMPARE(kicked.value("interval").toInt(), 5);
    QCOMPARE(kicked["device_status"].toObject(),
             (QJsonObject{{"status", "kicked"}, {"force_disconnect", true},
                          {"message", "您的账号在其他设备登录，已被强制下线"}}));
    QCOMPARE(get("heartbeat/stats", token).data().toObject(),
             (QJsonObject{{"online_users", 1}, {"online_devices", 1}}));

    const QList<Norvane::LocalBackend::HeartbeatRecord> records = m_routes->heartbeats();
    QCOMPARE(records.size(), 3);
    QCOMPARE(records.first().accountId, 1);
    QCOMPARE(records.first().deviceId, QString("windows_test"));
    QCOMPARE(records.first().connectionStatus, QString("connected"));
    QCOMPARE(records.first().uploadBytes, qint64(1000));
    QCOMPARE(records.first().downloadBytes, qint64(2000));
    QCOMPARE(records.first().latencyMs, qint64(45));
    QCOMPARE(records.last().connectionStatus, QString("disconnected"));
}

void BackendApiTest::heartbeatRefusesBadFigures_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QJsonValue>("value");
    QTest::newRow("unknown status") << "connection_status" << QJsonValue("paused");
    QTest::newRow("no device") << "device_id" << QJsonValue("");
    QTest::newRow("device id too long") << "device_id" << QJsonValue(QString(256, u'd'));
    QTest::newRow("negative upload") << "upload_bytes" << QJsonValue(-1);
    QTest::newRow("download as text") << "download_bytes" << QJsonValue("2000");
    QTest::newRow("fractional latency") << "latency_ms" << QJsonValue(4.5);
}

void BackendApiTest::heartbeatRefusesBadFigures()
{
    QFETCH(QString, key);
    QFETCH(QJsonValue, value);
    QJsonObject body = beatBody("connected");
    body.insert(key, value);
    const Answer answer = post("heartbeat", body, loginToken(kDemoEmail, kDemoPassword));
    QCOMPARE(answer.status, 422);
    QCOMPARE(answer.json().value("errors").toObject().keys(), QStringList{key});
    QVERIFY(m_routes->heartbeats().isEmpty());
}

// However long it runs, the back end keeps only the latest heartbeats.
void BackendApiTest::heartbeatRecordsKeepTheLatest()
{
    const QString token = loginToken(kDemoEmail, kDemoPassword);
    const int capacity = Norvane::LocalBackend::HeartbeatRoutes::kRecordCapacity;
    QVERIFY(capacity >= 1000);
    const int sent = capacity + 5;
    const auto beat = [](int number) {
        QJsonObject body = beatBody("connected");
        body.insert("upload_bytes", number);
        return compact(body);
    };

    // The first few one at a time, so the oldest are known; the rest as fast as they go.
    const int sequential = 10;
    for (int i = 0; i < sequential; ++i)
        QCOMPARE(send("POST", "heartbeat", beat(i), token).status, 200);
    QList<QPair<QNetworkRequest, QByteArray>> rest;
    for (int i = sequential; i < sent; ++i) {
        QNetworkRequest request(m_server->baseUrl().resolved(QUrl("heartbeat")));
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
        rest.append({request, beat(i)});
    }
    QVERIFY(sendTogether(m_nam, "POST", rest));

    const QList<Norvane::LocalBackend::HeartbeatRecord> records = m_routes->heartbeats();
    QCOMPARE(records.size(), capacity);
    QSet<qint64> numbers;
    for (const Norvane::LocalBackend::HeartbeatRecord &record : records)
        numbers.insert(record.uploadBytes);
    for (int i = 0; i < sequential; ++i)
        QCOMPARE(numbers.contains(i), i >= sent - capacity);
    QCOMPARE(get("heartbeat/stats", token).data().toObject(),
             (QJsonObject{{"online_users", 1}, {"online_devices", 1}}));
}

void BackendApiTest::freeTrialActivation()
{
    const QString token = post("auth/register", registerBody("trial@norvane.local")).json()["token"].toString();
    const QJsonObject before = get("trial/status", token).data().toObject();
    QCOMPARE(before["trial"].toObject(),
             (QJsonObject{{"enabled", true}, {"available", true}, {"used", false}, {"expires_at", QJsonValue::Null},
                          {"hours_total", 0}, {"hours_used", 0}, {"hours_remaining", 0}}));
    QCOMPARE(before["vip"].toObject(),
             (QJsonObject{{"enabled", false}, {"is_vip", false}, {"expires_at", QJsonValue::Null}, {"days_remaining", 0}}));
    QCOMPARE(before["account_status"].toString(), QString("active"));

    const Answer activated = post("trial/activate-free", {}, token);
    QCOMPARE(activated.status, 200);
    QCOMPARE(activated.message(), QString("免费体验激活成功"));
    const QJsonObject user = activated.data().toObject();
    QCOMPARE(user["trial_used"], QJsonValue(true));
    QCOMPARE(user["trial_hours_total"].toInt(), 2);
    QCOMPARE(user["trial_hours_remaining"].toDouble(), 2.0);
    const QDateTime end = QDateTime::fromString(user["trial_expires_at"].toString(), Qt::ISODate);
    QVERIFY(qAbs(end.secsTo(QDateTime::currentDateTimeUtc().addSecs(7200))) < 60);

    const QJsonObject after = get("trial/status", token).data().toObject();
    QCOMPARE(after["trial"]["available"], QJsonValue(false));
    QCOMPARE(after["trial"]["used"], QJsonValue(true));
    const Answer again = post("trial/activate-free", {}, token);
    QCOMPARE(again.status, 409);
    QCOMPARE(again.json(), (QJsonObject{{"success", false}, {"message", "免费体验进行中"}}));
}

void BackendApiTest::vipTrialActivation()
{
    const QString token = post("auth/register", registerBody("viptrial@norvane.local")).json()["token"].toString();
    QCOMPARE(post("trial/activate-vip", {}, token).message(), QString("VIP体验未开放"));
    QVERIFY(m_routes->setConfigValue("vip_trial_enabled", true));

    const Answer activated = post("trial/activate-vip", {}, token);
    QCOMPARE(activated.status, 200);
    QCOMPARE(activated.message(), QString("VIP体验激活成功"));
    QCOMPARE(activated.data()["is_vip"], QJsonValue(true));
    const QDateTime end = QDateTime::fromString(activated.data()["vip_expires_at"].toString(), Qt::ISODate);
    QVERIFY(qAbs(end.secsTo(QDateTime::currentDateTimeUtc().addSecs(24 * 3600))) < 60);
    QCOMPARE(get("trial/status", token).data()["vip"]["days_remaining"].toInt(), 1);

    const Answer again = post("trial/activate-vip", {}, token);
    QCOMPARE(again.status, 409);
    QCOMPARE(again.message(), QString("VIP体验已使用"));
    // A VIP has no use for the free trial.
    QCOMPARE(post("trial/activate-free", {}, token).message(), QString("VIP用户无需激活免费体验"));
}

void BackendApiTest::trialsFollowTheConfiguration_data()
{
    QTest::addColumn<QString>("endpoint");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("free trial off") << "trial/activate-free" << "free_trial_enabled" << QJsonValue(false) << 403
                                    << "免费体验未开放";
    QTest::newRow("no free trials") << "trial/activate-free" << "free_trial_max_count" << QJsonValue(0) << 409
                                    << "免费体验次数已用完";
    QTest::newRow("free trial of no hours") << "trial/activate-free" << "free_trial_duration" << QJsonValue(0) << 503
                                            << "免费体验时长配置无效";
    QTest::newRow("vip trial of no hours") << "trial/activate-vip" << "vip_trial_duration" << QJsonValue(0) << 503
                                           << "VIP体验时长配置无效";
}

void BackendApiTest::trialsFollowTheConfiguration()
{
    QFETCH(QString, endpoint);
    QFETCH(QString, key);
    QFETCH(QJsonValue, value);
    QFETCH(int, status);
    QFETCH(QString, message);
    QVERIFY(m_routes->setConfigValue("vip_trial_enabled", true));
    QVERIFY(m_routes->setConfigValue(key, value));
    const QString token = post("auth/register", registerBody("cfg@norvane.local")).json()["token"].toString();

    const Answer answer = post(endpoint, {}, token);
    QCOMPARE(answer.status, status);
    QCOMPARE(answer.json(), (QJsonObject{{"success", false}, {"message", message}}));
    const auto account = m_routes->account("cfg@norvane.local");
    QVERIFY(!account->trialUsed);
    QVERIFY(!account->isVip);
    // The free trial is offered only while the configuration allows it.
    QCOMPARE(get("trial/status", token).data()["trial"]["available"],
             QJsonValue(endpoint == u"trial/activate-vip"));
}

void BackendApiTest::signedRepliesCoverTheApi()
{
    QVERIFY(m_routes->setConfigValue("api_secret_key", "s-7"));
    QVERIFY(m_routes->setConfigValue("api_encrypt_enabled", true));

    const Answer login = post("auth/login", loginBody(kDemoEmail, kDemoPassword));
    QCOMPARE(login.status, 200);
    const QJsonObject form = login.json();
    QCOMPARE(form.value("encrypted"), QJsonValue(true));
    const QByteArray data = form.value("data").toString().toUtf8();
    QCOMPARE(form.value("signature").toString().toUtf8(),
             QCryptographicHash::hash(data + "s-7", QCryptographicHash::Md5).toHex());
    const QJsonObject decoded = QJsonDocument::fromJson(QByteArray::fromBase64(data)).object();
    QCOMPARE(decoded.value("data").toObject().value("email").toString(), kDemoEmail);

    // Refusals stay plain.
    const Answer refused = post("auth/login", loginBody(kDemoEmail, "wrong"));
    QCOMPARE(refused.status, 401);
    QCOMPARE(refused.message(), QString("邮箱或密码错误"));
}

void BackendApiTest::testInterfaceRefusesBadSettings()
{
    QString error;
    QVERIFY(!m_routes->setNextPaymentScript({}, &error));
    QVERIFY2(error.contains("at least one status"), qPrintable(error));
    QVERIFY(!m_routes->setNextPaymentScript({"pending", " "}, &error));
    QVERIFY2(error.contains("empty status"), qPrintable(error));
    QVERIFY(!m_routes->setPaymentScript("NV-none", {"completed"}, &error));
    QVERIFY2(error.contains("no payment order \"NV-none\""), qPrintable(error));
    QVERIFY(!m_routes->setHeartbeatInterval(0, &error));
    QVERIFY2(error.contains("at least 1 second"), qPrintable(error));
    QCOMPARE(m_routes->heartbeatInterval(), 30);

    // A refused script leaves the default in place.
    const QString token = loginToken(kDemoEmail, kDemoPassword);
    post("payments/create", paymentBody(1), token);
    QCOMPARE(m_routes->orders().first().script, (QStringList{"pending", "pending", "completed"}));
}

void BackendApiTest::malformedSeedsChangeNothing_data()
{
    QTest::addColumn<QByteArray>("sections"); // added to a good "configs" section
    QTest::addColumn<QString>("problem");

    QTest::newRow("accounts not a list") << QByteArray(R"("accounts": {})") << "section \"accounts\" is not an array";
    QTest::newRow("account not an object") << QByteArray(R"("accounts": ["demo"])") << "accounts[0]: is not an object";
    QTest::newRow("account without password")
        << QByteArray(R"("accounts": [{"email": "a@b.cn"}])") << "accounts[0]: has no \"password\"";
    QTest::newRow("account e-mail malformed")
        << QByteArray(R"("accounts": [{"email": "ab.cn", "password": "x"}])") << "accounts[0]: \"ab.cn\" is not an e-mail address";
    QTest::newRow("account twice")
        << QByteArray(R"("accounts": [{"email": "a@b.cn", "password": "x"}, {"email": "A@b.cn", "password": "y"}])")
        << "accounts[1]: e-mail \"a@b.cn\" appears twice";
    QTest::newRow("account status unknown")
        << QByteArray(R"("accounts": [{"email": "a@b.cn", "password": "x", "status": "gone"}])")
        << "status \"gone\" is not active, suspended or banned";
    QTest::newRow("account member misspelt")
        << QByteArray(R"("accounts": [{"email": "a@b.cn", "password": "x", "vipdays": 3}])")
        << "accounts[0]: unknown member \"vipdays\"";
    QTest::newRow("trial hours fractional")
        << QByteArray(R"("accounts": [{"email": "a@b.cn", "password": "x", "trial_hours": 1.5}])")
        << "accounts[0]: \"trial_hours\" is not a whole number";
    QTest::newRow("server tier unknown")
        << QByteArray(R"("servers": [{"id": 1, "name": "n", "tier": "gold", "vmess_link": "vmess://e30="}])")
        << "servers[0]: tier \"gold\" is not free or vip";
    QTest::newRow("server link not vmess")
        << QByteArray(R"("servers": [{"id": 1, "name": "n", "tier": "free", "vmess_link": "ss://abc"}])")
        << "servers[0]: \"vmess_link\" does not start with \"vmess://\"";
    QTest::newRow("server link without port")
        << QByteArray(R"("servers": [{"id": 1, "name": "n", "tier": "free",
                          "vmess_link": "vmess://eyJhZGQiOiIxMjcuMC4wLjEiLCJpZCI6InUifQ=="}])")
        << "servers[0]: \"vmess_link\" has no \"port\" text from 1 to 65535";
    QTest::newRow("server port as text")
        << QByteArray(R"("servers": [{"id": 1, "name": "n", "tier": "free", "port": "443", "vmess_link": "vmess://e30="}])")
        << "servers[0]: \"port\" is not a whole number";
    QTest::newRow("server computed member")
        << QByteArray(R"("servers": [{"id": 1, "name": "n", "tier": "free", "can_connect": true, "vmess_link": "vmess://e30="}])")
        << "servers[0]: \"can_connect\" is worked out by the back end; leave it out";
    QTest::newRow("plan without days")
        << QByteArray(R"("plans": [{"id": 1, "name": "月卡", "price": 15}])") << "plans[0]: has no \"days\"";
    QTest::newRow("plan price negative")
        << QByteArray(R"("plans": [{"id": 1, "name": "月卡", "days": 30, "price": -1}])") << "plans[0]: \"price\" is below 0";
    QTest::newRow("plan id twice")
        << QByteArray(R"("plans": [{"id": 1, "name": "a", "days": 1, "price": 1}, {"id": 1, "name": "b", "days": 1, "price": 1}])")
        << "plans[1]: id 1 appears twice";
    QTest::newRow("announcement platform unknown")
        << QByteArray(R"("announcements": [{"id": 1, "title": "t", "content": "c", "platform": "linux"}])")
        << "announcements[0]: platform \"linux\" is not one of all, windows, macos, android, ios";
    QTest::newRow("announcement date malformed")
        << QByteArray(R"("announcements": [{"id": 1, "title": "t", "content": "c", "published_at": "yesterday"}])")
        << "announcements[0]: \"published_at\" \"yesterday\" is not an ISO 8601 date-time";
}

void BackendApiTest::malformedSeedsChangeNothing()
{
    QFETCH(QByteArray, sections);
    QFETCH(QString, problem);
    const QString token = loginToken(kDemoEmail, kDemoPassword);
    const QJsonObject configsBefore = m_routes->configs();
    const QByteArray serversBefore = get("servers").body;

    LogCapture log;
    QString error;
    const QByteArray seed = R"({"configs": {"app_name": {"value": "x", "type": "string"}}, )" + sections + "}";
    QVERIFY(!m_routes->loadSeed(seed, &error));
    QVERIFY2(error.contains(problem), qPrintable(error));
    QVERIFY(log.contains(problem));

    QCOMPARE(m_routes->configs(), configsBefore);
    QCOMPARE(get("servers").body, serversBefore);
    QCOMPARE(get("auth/me", token).status, 200);
    QCOMPARE(idsOf(get("plans").data()), (QList<int>{1, 2, 3}));
}

void BackendApiTest::reloadingTheSeedResetsTheState()
{
    const QString token = loginToken(kDemoEmail, kDemoPassword);
    paidOrder(token, {"completed"});
    post("heartbeat", beatBody("connected"), token);
    QVERIFY(m_routes->setHeartbeatInterval(7));
    QVERIFY(m_routes->account(kDemoEmail)->isVip);

    QFile builtIn(ApiRoutes::builtInSeedPath());
    QVERIFY(builtIn.open(QIODevice::ReadOnly));
    QVERIFY(m_routes->loadSeed(builtIn.readAll()));
    QCOMPARE(get("auth/me", token).status, 401);
    QVERIFY(m_routes->orders().isEmpty());
    QVERIFY(m_routes->heartbeats().isEmpty());
    QCOMPARE(m_routes->heartbeatInterval(), 30);
    QVERIFY(!m_routes->account(kDemoEmail)->isVip);

    // A seed with only a configuration serves empty lists and no accounts.
    QVERIFY(m_routes->loadSeed(R"({"configs": {}})"));
    QVERIFY(get("servers").data().toArray().isEmpty());
    QCOMPARE(post("auth/login", loginBody(kDemoEmail, kDemoPassword)).status, 401);
}

QTEST_GUILESS_MAIN(BackendApiTest)
#include "tst_backendapi.moc"
