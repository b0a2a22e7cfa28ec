#include "api/models/HeartbeatResponse.h"
#include "api/models/HeartbeatStats.h"
#include "api/network/HttpClient.h"
#include "api/security/TokenManager.h"
#include "api/services/HeartbeatService.h"
#include "support/BackendTestRig.h"
#include "support/LogCapture.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <limits>

using Norvane::Api::Models::HeartbeatResponse;
using Norvane::Api::Models::HeartbeatStats;
using Norvane::Api::Network::HttpClient;
using Norvane::Api::Security::TokenManager;
using Norvane::Api::Services::HeartbeatService;
using Norvane::LocalBackend::Fault;
using Norvane::LocalBackend::RecordedRequest;
using Norvane::LocalBackend::Reply;

namespace {

const QString kHeartbeatPath = QStringLiteral("/api/v1/heartbeat");
const QString kStatsPath = QStringLiteral("/api/v1/heartbeat/stats");
const QString kToken = QStringLiteral("tok-1");
const QString kUnauthorizedText = QStringLiteral("您的账号在其他设备登录，已被强制下线");

HeartbeatService *service()
{
    return HeartbeatService::instance();
}

// Beats the service has put on the wire, counted from its own log line so a test can wait
// until every one of them has been answered.
int &beatsSent()
{
    static int count = 0;
    return count;
}

QtMessageHandler &forwardedHandler()
{
    static QtMessageHandler handler = nullptr;
    return handler;
}

void countBeats(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith(QStringLiteral("[HeartbeatService] 发送心跳,")))
        ++beatsSent();
    if (forwardedHandler())
        forwardedHandler()(type, context, message);
}

QJsonObject parse(const QByteArray &text)
{
    return QJsonDocument::fromJson(text).object();
}

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QJsonObject activeReply(int interval = 30)
{
    return parse(QStringLiteral(R"({"success":true,"message":"心跳成功","data":{"interval":%1,
        "device_status":{"status":"active","force_disconnect":false,"message":""},
        "user_status":{"is_vip":false,"trial_hours_remaining":1.5}}})")
                     .arg(interval)
                     .toUtf8());
}

QByteArray expectedBody(const QString &status, qint64 upload, qint64 download, int latency)
{
    return QStringLiteral(R"({"connection_status":"%1","device_id":"%2","download_bytes":%3,"latency_ms":%4,"upload_bytes":%5})")
        .arg(status, TokenManager::instance()->getDeviceId())
        .arg(download)
        .arg(latency)
        .arg(upload)
        .toUtf8();
}

QByteArrayList bodiesOf(const QList<RecordedRequest> &requests)
{
    QByteArrayList bodies;
    for (const RecordedRequest &request : requests)
        bodies << request.body;
    return bodies;
}

// Requests sent in one turn of the loop may reach the server in any order.
QByteArrayList sorted(QByteArrayList list)
{
    std::sort(list.begin(), list.end());
    return list;
}

QStringList sendLines(const LogCapture &log)
{
    QStringList lines;
    for (const QString &message : log.messages()) {
        if (message.startsWith(QStringLiteral("[HeartbeatService] 发送心跳,")))
            lines << message;
    }
    return lines;
}

// Every member of the record by name, so a table row lists only what differs from the defaults.
QJsonObject flatten(const HeartbeatResponse &response)
{
    const HeartbeatResponse::ServerStatus &server = response.serverStatus;
    const HeartbeatResponse::UserStatus &user = response.userStatus;
    const HeartbeatResponse::DeviceStatus &device = response.deviceStatus;
    return {{"success", response.success},
            {"interval", response.interval},
            {"server.status", server.status},
            {"server.currentUsers", server.currentUsers},
            {"server.maxUsers", server.maxUsers},
            {"server.cpuUsage", server.cpuUsage},
            {"user.isVip", user.isVip},
            {"user.vipExpiresAt", user.vipExpiresAt},
            {"user.totalTrafficGb", user.totalTrafficGb},
            {"user.todayTrafficGb", user.todayTrafficGb},
            {"user.trialUsed", user.trialUsed},
            {"user.trialExpiresAt", user.trialExpiresAt},
            {"user.trialHoursRemaining", user.trialHoursRemaining},
            {"device.status", device.status},
            {"device.forceDisconnect", device.forceDisconnect},
            {"device.message", device.message}};
}

// Writes the service's signals and one completion into a single ordered list.
class EventRecorder : public QObject
{
public:
    explicit EventRecorder(HeartbeatService *heartbeat)
    {
        connect(heartbeat, &HeartbeatService::forceDisconnectRequired, this,
                [this](const QString &message) { events << "forceDisconnectRequired(" + message + ")"; });
        connect(heartbeat, &HeartbeatService::userStatusUpdated, this, [this](bool isVip, double hours) {
            events << QStringLiteral("userStatusUpdated(%1,%2)").arg(isVip ? "true" : "false").arg(hours);
        });
        connect(heartbeat, &HeartbeatService::heartbeatSuccess, this,
                [this](const HeartbeatResponse &) { events << "heartbeatSuccess"; });
        connect(heartbeat, &HeartbeatService::heartbeatFailed, this,
                [this](const QString &message) { events << "heartbeatFailed(" + message + ")"; });
    }

    HeartbeatService::HeartbeatCallback callback()
    {
        return [this](bool success, const HeartbeatResponse &response) {
            events << QStringLiteral("callback(%1)").arg(success ? "true" : "false");
            lastResponse = response;
        };
    }

    QStringList events;
    HeartbeatResponse lastResponse;
};

} // namespace

class HeartbeatServiceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void defaults();
    void startInterval_data();
    void startInterval();
    void bodiesOfStartTickAndStop();
    void restartSaysGoodbyeFirst();
    void stopWhileIdleDoesNothing();
    void replyInterval_data();
    void replyInterval();
    void replyIntervalStaysUntilRestart();
    void replyOrders_data();
    void replyOrders();
    void junkReplyLeavesTheHeartbeatRunning();
    void unauthorizedWhileRunning_data();
    void unauthorizedWhileRunning();
    void farewellBeatRacingLogout_data();
    void farewellBeatRacingLogout();
    void newSessionSurvivesStaleUnauthorized();
    void noToken();
    void noTokenWhileRunningKeepsTicking();
    void quitSendsLastBeat();
    void responseRecord_data();
    void responseRecord();
    void stats_data();
    void stats();

private:
    bool settle();

    BackendTestRig m_rig;
    QJsonObject m_reply;
    QString m_revokedToken;
    int m_answered = 0;
};

void HeartbeatServiceTest::initTestCase()
{
    QVERIFY(m_rig.start());
    forwardedHandler() = qInstallMessageHandler(countBeats);

    // The back end refuses a token it has revoked, as it does after a logout.
    m_rig.backend().route("POST", kHeartbeatPath, [this](const RecordedRequest &request) {
        if (!m_revokedToken.isEmpty() && request.header("Authorization") == "Bearer " + m_revokedToken.toUtf8())
            return Reply::json({{"success", false}, {"message", "Token已失效"}}, 401);
        return Reply::json(m_reply);
    });
    m_rig.backend().route("GET", kStatsPath, [](const RecordedRequest &) {
        return Reply::json(parse(R"({"success":true,"data":{"online_users":12,"online_devices":30}})"));
    });

    connect(service(), &HeartbeatService::heartbeatSuccess, this, [this]() { ++m_answered; });
    connect(service(), &HeartbeatService::heartbeatFailed, this, [this](const QString &message) {
        if (message != QStringLiteral("Token为空，请先登录"))
            ++m_answered;
    });
}

void HeartbeatServiceTest::init()
{
    m_rig.reset();
    HttpClient::instance()->setAuthToken(kToken);
    m_reply = activeReply();
    m_revokedToken.clear();
}

void HeartbeatServiceTest::cleanup()
{
    service()->stopAutoHeartbeat();
    QVERIFY(settle());
    service()->setDefaultIntervalMs(HeartbeatService::kDefaultIntervalMs);
}

bool HeartbeatServiceTest::settle()
{
    return QTest::qWaitFor([this]() { return m_answered == beatsSent(); }, 5000);
}

void HeartbeatServiceTest::defaults()
{
    QCOMPARE(service()->defaultIntervalMs(), 30000);
    QVERIFY(!service()->isAutoHeartbeatRunning());

    LogCapture log;
    service()->startAutoHeartbeat(7, 0);
    QVERIFY(service()->isAutoHeartbeatRunning());
    QCOMPARE(service()->heartbeatIntervalMs(), 30000);
    QVERIFY(log.contains(QStringLiteral("[HeartbeatService] 开始自动心跳, 服务器ID: 7 , 间隔: 30 秒")));
    QVERIFY(settle());
}

void HeartbeatServiceTest::startInterval_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("expectedMs");
    QTest::addColumn<bool>("warned");

    QTest::newRow("zero selects the default") << 0 << 30000 << false;
    QTest::newRow("negative selects the default") << -5 << 30000 << false;
    QTest::newRow("ten seconds") << 10 << 10000 << false;
    QTest::newRow("largest that fits") << 2147483 << 2147483000 << false;
    QTest::newRow("too large for the timer") << 2147484 << 30000 << true;
    QTest::newRow("int max") << std::numeric_limits<int>::max() << 30000 << true;
}

void HeartbeatServiceTest::startInterval()
{
    QFETCH(int, seconds);
    QFETCH(int, expectedMs);
    QFETCH(bool, warned);

    LogCapture log;
    service()->startAutoHeartbeat(7, seconds);
    QCOMPARE(service()->heartbeatIntervalMs(), expectedMs);
    QCOMPARE(log.contains(QStringLiteral("[HeartbeatService] 心跳间隔过大，使用默认间隔:")), warned);
    QVERIFY(settle());
    QCOMPARE(m_rig.backend().requests("POST", kHeartbeatPath).size(), 1);
}

void HeartbeatServiceTest::bodiesOfStartTickAndStop()
{
    service()->setDefaultIntervalMs(40);
    service()->startAutoHeartbeat(7, 0);
    // Set before any tick can run, so only the immediate beat carries zeros.
    service()->updateTraffic(5000000000LL, 2000);
    service()->updateLatency(45);

    QTRY_VERIFY(m_rig.backend().requests("POST", kHeartbeatPath).size() >= 3);
    service()->stopAutoHeartbeat();
    QVERIFY(!service()->isAutoHeartbeatRunning());
    QVERIFY(settle());

    const QList<RecordedRequest> requests = m_rig.backend().requests("POST", kHeartbeatPath);
    const QByteArray first = expectedBody("connected", 0, 0, 0);
    const QByteArray tick = expectedBody("connected", 5000000000LL, 2000, 45);
    const QByteArray last = expectedBody("disconnected", 5000000000LL, 2000, 45);
    const QByteArrayList bodies = bodiesOf(requests);
    QCOMPARE(bodies.count(first), 1);
    QCOMPARE(bodies.count(last), 1);
    QVERIFY(bodies.count(tick) >= 2);
    QCOMPARE(bodies.count(first) + bodies.count(tick) + bodies.count(last), bodies.size());
    for (const RecordedRequest &request : requests) {
        QCOMPARE(request.header("Authorization"), QByteArray("Bearer tok-1"));
        QCOMPARE(request.header("Content-Type"), QByteArray("application/json"));
    }

    // Stopping reset the stored figures: the next session starts from zero.
    m_rig.backend().clearRequests();
    service()->setDefaultIntervalMs(HeartbeatService::kDefaultIntervalMs);
    service()->startAutoHeartbeat(8, 0);
    QVERIFY(settle());
    QCOMPARE(bodiesOf(m_rig.backend().requests("POST", kHeartbeatPath)), QByteArrayList({first}));
}

void HeartbeatServiceTest::restartSaysGoodbyeFirst()
{
    LogCapture log;
    service()->startAutoHeartbeat(7, 0);
    service()->updateTraffic(10, 20);
    service()->updateLatency(5);
    service()->startAutoHeartbeat(8, 0);
    QVERIFY(settle());

    QCOMPARE(sendLines(log), QStringList({
                                 "[HeartbeatService] 发送心跳, 服务器ID: 7 , 状态: \"connected\" , Token长度: 5",
                                 "[HeartbeatService] 发送心跳, 服务器ID: 7 , 状态: \"disconnected\" , Token长度: 5",
                                 "[HeartbeatService] 发送心跳, 服务器ID: 8 , 状态: \"connected\" , Token长度: 5",
                             }));
    QCOMPARE(sorted(bodiesOf(m_rig.backend().requests("POST", kHeartbeatPath))),
             sorted({expectedBody("connected", 0, 0, 0), expectedBody("connected", 0, 0, 0),
                     expectedBody("disconnected", 10, 20, 5)}));
}

void HeartbeatServiceTest::stopWhileIdleDoesNothing()
{
    LogCapture log;
    service()->updateTraffic(10, 20);
    service()->stopAutoHeartbeat();
    QVERIFY(log.messages().filter(QStringLiteral("[HeartbeatService]")).isEmpty());
    QCOMPARE(m_answered, beatsSent());
}

void HeartbeatServiceTest::replyInterval_data()
{
    QTest::addColumn<QJsonValue>("interval");
    QTest::addColumn<int>("expectedMs");
    QTest::addColumn<QString>("logged");

    QTest::newRow("60 seconds") << QJsonValue(60) << 60000 << "[HeartbeatService] 更新心跳间隔为: 60 秒";
    QTest::newRow("largest that fits") << QJsonValue(2147483) << 2147483000
                                       << "[HeartbeatService] 更新心跳间隔为: 2147483 秒";
    QTest::newRow("30 brings no change") << QJsonValue(30) << 30000 << "";
    QTest::newRow("missing") << QJsonValue(QJsonValue::Undefined) << 30000 << "";
    QTest::newRow("zero") << QJsonValue(0) << 30000 << "[HeartbeatService] 忽略无效的心跳间隔: 0 秒";
    QTest::newRow("negative") << QJsonValue(-5) << 30000 << "[HeartbeatService] 忽略无效的心跳间隔: -5 秒";
    QTest::newRow("milliseconds overflow") << QJsonValue(2147484) << 30000
                                           << "[HeartbeatService] 心跳间隔过大，已忽略: 2147484 秒";
    QTest::newRow("beyond int") << QJsonValue(3e9) << 30000 << "";
    QTest::newRow("fraction") << QJsonValue(1.5) << 30000 << "";
    QTest::newRow("text") << QJsonValue("60") << 30000 << "";
}

void HeartbeatServiceTest::replyInterval()
{
    QFETCH(QJsonValue, interval);
    QFETCH(int, expectedMs);
    QFETCH(QString, logged);

    QJsonObject data = m_reply.value("data").toObject();
    if (interval.isUndefined())
        data.remove("interval");
    else
        data.insert("interval", interval);
    m_reply.insert("data", data);

    LogCapture log;
    service()->startAutoHeartbeat(7, 0);
    QVERIFY(settle());
    QCOMPARE(service()->heartbeatIntervalMs(), expectedMs);
    QVERIFY(service()->isAutoHeartbeatRunning());
    const QStringList replyLines = log.messages().filter(
        QRegularExpression(QStringLiteral("^\\[HeartbeatService\\] (更新心跳间隔|忽略无效的心跳间隔|心跳间隔过大)")));
    QCOMPARE(replyLines, logged.isEmpty() ? QStringList() : QStringList({logged}));
}

void HeartbeatServiceTest::replyIntervalStaysUntilRestart()
{
    EventRecorder recorder(service());

    // A reply changes the interval even while the heartbeat is idle.
    m_reply = activeReply(60);
    service()->sendHeartbeat(0, "connected", 0, 0, 0, recorder.callback());
    QVERIFY(settle());
    QCOMPARE(service()->heartbeatIntervalMs(), 60000);
    QVERIFY(!service()->isAutoHeartbeatRunning());

    for (int interval : {30, 0}) {
        m_reply = activeReply(interval);
        service()->sendHeartbeat(0, "connected", 0, 0, 0, recorder.callback());
        QVERIFY(settle());
        QCOMPARE(service()->heartbeatIntervalMs(), 60000);
    }

    service()->startAutoHeartbeat(7, 0);
    QCOMPARE(service()->heartbeatIntervalMs(), 30000);
    QVERIFY(settle());
    QCOMPARE(recorder.events.count("callback(true)"), 3);
}

void HeartbeatServiceTest::replyOrders_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("events");

    const QString forced = "forceDisconnectRequired(%1)";
    QTest::newRow("force flag with active status")
        << 200
        << QByteArray(R"({"success":true,"data":{"device_status":{"status":"active","force_disconnect":true,
                      "message":"管理员强制下线"},"user_status":{"is_vip":true,"trial_hours_remaining":2.5}}})")
        << QStringList{forced.arg("管理员强制下线"), "userStatusUpdated(true,2.5)", "callback(true)",
                       "heartbeatSuccess"};
    QTest::newRow("status in another case")
        << 200
        << QByteArray(R"({"success":true,"data":{"device_status":{"status":"Active","message":"状态异常"}}})")
        << QStringList{forced.arg("状态异常"), "userStatusUpdated(false,0)", "callback(true)", "heartbeatSuccess"};
    QTest::newRow("device disabled")
        << 200
        << QByteArray(R"({"success":true,"data":{"device_status":{"status":"inactive","message":"设备已被禁用"},
                      "user_status":{"is_vip":false,"trial_hours_remaining":-0.02}}})")
        << QStringList{forced.arg("设备已被禁用"), "userStatusUpdated(false,-0.02)", "callback(true)",
                       "heartbeatSuccess"};
    QTest::newRow("active without flag")
        << 200
        << QByteArray(R"({"success":true,"data":{"device_status":{"status":"active","force_disconnect":false},
                      "user_status":{"is_vip":true,"trial_hours_remaining":0}}})")
        << QStringList{"userStatusUpdated(true,0)", "callback(true)", "heartbeatSuccess"};
    QTest::newRow("no device group")
        << 200 << QByteArray(R"({"success":true,"data":{"interval":30}})")
        << QStringList{forced.arg(""), "userStatusUpdated(false,0)", "callback(true)", "heartbeatSuccess"};
    // A 2xx that is not a JSON object (a captive portal, a proxy's error page) says nothing
    // about the device: a failed beat, not an order to disconnect.
    const QStringList junk{"callback(false)", "heartbeatFailed(响应数据无效)"};
    QTest::newRow("body not JSON") << 200 << QByteArray("ok") << junk;
    QTest::newRow("captive portal page") << 200 << QByteArray("<html><body>请先登录热点</body></html>") << junk;
    QTest::newRow("JSON array") << 200 << QByteArray(R"([{"device_status":{"status":"inactive"}}])") << junk;
    QTest::newRow("empty body") << 204 << QByteArray() << junk;
    QTest::newRow("HTTP 401")
        << 401 << QByteArray(R"({"success":false,"message":"Token无效"})")
        << QStringList{forced.arg(kUnauthorizedText), "callback(false)", "heartbeatFailed(Token无效)"};
    QTest::newRow("success false")
        << 200 << QByteArray(R"({"success":false,"message":"设备未注册"})")
        << QStringList{"callback(false)", "heartbeatFailed(设备未注册)"};
    QTest::newRow("HTTP 500")
        << 500 << QByteArray(R"({"errors":{"device_id":["设备ID无效"]},"message":"服务器错误"})")
        << QStringList{"callback(false)", "heartbeatFailed(设备ID无效)"};
}

void HeartbeatServiceTest::replyOrders()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QStringList, events);

    m_rig.replaceAnswer("POST", kHeartbeatPath, status, body);

    LogCapture log;
    EventRecorder recorder(service());
    service()->sendHeartbeat(0, "connected", 0, 0, 0, recorder.callback());
    QVERIFY(settle());

    QCOMPARE(recorder.events, events);
    const bool forcedBySuccess = status == 200 && events.first().startsWith("forceDisconnectRequired");
    QCOMPARE(log.contains("[HeartbeatService] 需要强制断开连接:"), forcedBySuccess);
    QCOMPARE(log.contains("[HeartbeatService] 检测到401错误，用户可能在其他设备登录"), status == 401);
    QCOMPARE(log.contains("[HeartbeatService] 心跳发送失败:"), events.last().startsWith("heartbeatFailed"));
    QCOMPARE(m_rig.backend().requests("POST", kHeartbeatPath).size(), 1);
}

void HeartbeatServiceTest::junkReplyLeavesTheHeartbeatRunning()
{
    Fault portal;
    portal.body = "<html><body>请先登录热点</body></html>";
    portal.contentType = "text/html";
    portal.times = 1;
    m_rig.backend().setFault("POST", kHeartbeatPath, portal);
    service()->setDefaultIntervalMs(50);

    EventRecorder recorder(service());
    service()->startAutoHeartbeat(7, 0);
    QTRY_VERIFY(recorder.events.count("heartbeatSuccess") >= 1);
    QVERIFY(service()->isAutoHeartbeatRunning());
    QCOMPARE(recorder.events.mid(0, 3),
             QStringList({"heartbeatFailed(响应数据无效)", "userStatusUpdated(false,1.5)", "heartbeatSuccess"}));
    QVERIFY(!recorder.events.join(' ').contains("forceDisconnectRequired"));
}

void HeartbeatServiceTest::unauthorizedWhileRunning_data()
{
    QTest::addColumn<int>("refusals");
    QTest::addColumn<int>("forcedCount");

    QTest::newRow("last beat accepted") << 1 << 1;
    QTest::newRow("last beat refused too") << -1 << 2;
}

void HeartbeatServiceTest::unauthorizedWhileRunning()
{
    QFETCH(int, refusals);
    QFETCH(int, forcedCount);

    Fault fault;
    fault.status = 401;
    fault.body = R"({"success":false,"message":"Token无效"})";
    fault.times = refusals;
    m_rig.backend().setFault("POST", kHeartbeatPath, fault);

    QStringList runningWhenForced;
    QSignalSpy forced(service(), &HeartbeatService::forceDisconnectRequired);
    connect(service(), &HeartbeatService::forceDisconnectRequired, &forced, [&runningWhenForced]() {
        runningWhenForced << (service()->isAutoHeartbeatRunning() ? "running" : "idle");
    });

    LogCapture log;
    service()->updateTraffic(100, 200);
    service()->startAutoHeartbeat(7, 0);
    service()->updateTraffic(100, 200);
    QVERIFY(settle());

    QCOMPARE(forced.count(), forcedCount);
    for (const QList<QVariant> &arguments : forced)
        QCOMPARE(arguments.at(0).toString(), kUnauthorizedText);
    QCOMPARE(runningWhenForced, QStringList(forcedCount, "idle"));
    QVERIFY(!service()->isAutoHeartbeatRunning());
    QCOMPARE(log.count("[HeartbeatService] 检测到401错误，用户可能在其他设备登录"), forcedCount);
    QCOMPARE(log.count("[HeartbeatService] 停止自动心跳"), 1);
    QCOMPARE(sorted(bodiesOf(m_rig.backend().requests("POST", kHeartbeatPath))),
             sorted({expectedBody("connected", 0, 0, 0), expectedBody("disconnected", 100, 200, 0)}));
    for (const RecordedRequest &request : m_rig.backend().requests("POST", kHeartbeatPath))
        QCOMPARE(request.header("Authorization"), QByteArray("Bearer tok-1"));
}

void HeartbeatServiceTest::farewellBeatRacingLogout_data()
{
    QTest::addColumn<QJsonObject>("reply");
    QTest::addColumn<QString>("tokenAfter");
    QTest::addColumn<bool>("forced");

    const QJsonObject revoked;
    const QJsonObject forceFlag = parse(R"({"success":true,"data":{"device_status":
        {"status":"active","force_disconnect":true,"message":"强制下线"}}})");
    const QJsonObject offline = parse(R"({"success":true,"data":{"device_status":
        {"status":"offline","message":"设备已离线"},"user_status":{"is_vip":true}}})");

    QTest::newRow("401 after logout") << revoked << "" << false;
    QTest::newRow("401 after a new login") << revoked << "tok-2" << false;
    QTest::newRow("401 same token") << revoked << kToken << true;
    QTest::newRow("force flag after logout") << forceFlag << "" << false;
    QTest::newRow("device offline after a new login") << offline << "tok-2" << false;
    QTest::newRow("device offline same token") << offline << kToken << true;
}

void HeartbeatServiceTest::farewellBeatRacingLogout()
{
    QFETCH(QJsonObject, reply);
    QFETCH(QString, tokenAfter);
    QFETCH(bool, forced);

    service()->startAutoHeartbeat(7, 0);
    QVERIFY(settle());

    if (reply.isEmpty())
        m_revokedToken = kToken;
    else
        m_reply = reply;
    EventRecorder recorder(service());
    LogCapture log;
    service()->stopAutoHeartbeat();
    // The logout completes before the farewell beat's reply comes back.
    if (tokenAfter.isEmpty())
        HttpClient::instance()->clearAuthToken();
    else
        HttpClient::instance()->setAuthToken(tokenAfter);
    QVERIFY(settle());

    QCOMPARE(recorder.events.filter("forceDisconnectRequired").size(), forced ? 1 : 0);
    QCOMPARE(log.contains("[HeartbeatService] 心跳发送时的Token已失效"), !forced);
    // The reply still completes as what it is.
    const QString outcome = reply.isEmpty() ? "heartbeatFailed(Token已失效)" : "heartbeatSuccess";
    QCOMPARE(recorder.events.last(), outcome);
    if (!forced)
        QCOMPARE(recorder.events, QStringList({outcome}));
    QCOMPARE(m_rig.backend().requests("POST", kHeartbeatPath).last().header("Authorization"),
             QByteArray("Bearer tok-1"));
}

void HeartbeatServiceTest::newSessionSurvivesStaleUnauthorized()
{
    service()->startAutoHeartbeat(7, 0);
    QVERIFY(settle());

    QSignalSpy forced(service(), &HeartbeatService::forceDisconnectRequired);
    m_revokedToken = kToken;
    service()->stopAutoHeartbeat();
    HttpClient::instance()->setAuthToken("tok-2");
    service()->startAutoHeartbeat(8, 0);
    QVERIFY(settle());

    QCOMPARE(forced.count(), 0);
    QVERIFY(service()->isAutoHeartbeatRunning());
    QByteArrayList headers;
    for (const RecordedRequest &request : m_rig.backend().requests("POST", kHeartbeatPath))
        headers << request.header("Authorization");
    QCOMPARE(sorted(headers), QByteArrayList({"Bearer tok-1", "Bearer tok-1", "Bearer tok-2"}));
}

void HeartbeatServiceTest::noToken()
{
    HttpClient::instance()->clearAuthToken();
    LogCapture log;
    EventRecorder recorder(service());
    service()->sendHeartbeat(3, "connected", 1, 2, 3, recorder.callback());

    QCOMPARE(recorder.events, QStringList({"callback(false)", "heartbeatFailed(Token为空，请先登录)"}));
    QCOMPARE(flatten(recorder.lastResponse), flatten(HeartbeatResponse()));
    QVERIFY(log.contains("[HeartbeatService] 心跳发送失败: Token为空"));
    QCOMPARE(sendLines(log), QStringList());
    // Without a completion the failure is still signalled.
    service()->sendHeartbeat(3, "connected", 1, 2, 3);
    QCOMPARE(recorder.events.size(), 3);
    QVERIFY(m_rig.backend().requests().isEmpty());
}

void HeartbeatServiceTest::noTokenWhileRunningKeepsTicking()
{
    HttpClient::instance()->clearAuthToken();
    QSignalSpy failed(service(), &HeartbeatService::heartbeatFailed);
    service()->setDefaultIntervalMs(20);
    service()->startAutoHeartbeat(7, 0);

    QTRY_VERIFY(failed.count() >= 3);
    QVERIFY(service()->isAutoHeartbeatRunning());
    QVERIFY(m_rig.backend().requests().isEmpty());
}

void HeartbeatServiceTest::quitSendsLastBeat()
{
    service()->startAutoHeartbeat(7, 0);
    service()->updateLatency(80);
    QVERIFY(settle());

    QVERIFY(QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit"));
    QVERIFY(!service()->isAutoHeartbeatRunning());
    QVERIFY(settle());
    QCOMPARE(bodiesOf(m_rig.backend().requests("POST", kHeartbeatPath)).count(expectedBody("disconnected", 0, 0, 80)), 1);

    // Idle at quit: nothing to say.
    QVERIFY(QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit"));
    QVERIFY(settle());
    QCOMPARE(m_rig.backend().requests("POST", kHeartbeatPath).size(), 2);
}

void HeartbeatServiceTest::responseRecord_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QJsonObject>("expected");

    QTest::newRow("full reply")
        << QByteArray(R"({"success":true,"data":{"interval":45,
            "server_status":{"status":"online","current_users":12,"max_users":100,"cpu_usage":37.5},
            "user_status":{"is_vip":true,"vip_expires_at":"2025-06-01T00:00:00Z","total_traffic_gb":12.25,
                           "today_traffic_gb":0.5,"trial_used":true,"trial_expires_at":"明天",
                           "trial_hours_remaining":1.75},
            "device_status":{"status":"active","force_disconnect":true,"message":"请重新连接"}}})")
        << QJsonObject{{"success", true},
                       {"interval", 45},
                       {"server.status", "online"},
                       {"server.currentUsers", 12},
                       {"server.maxUsers", 100},
                       {"server.cpuUsage", 37.5},
                       {"user.isVip", true},
                       {"user.vipExpiresAt", "2025-06-01T00:00:00Z"},
                       {"user.totalTrafficGb", 12.25},
                       {"user.todayTrafficGb", 0.5},
                       {"user.trialUsed", true},
                       {"user.trialExpiresAt", "明天"},
                       {"user.trialHoursRemaining", 1.75},
                       {"device.status", "active"},
                       {"device.forceDisconnect", true},
                       {"device.message", "请重新连接"}};
    QTest::newRow("empty object") << QByteArray("{}") << QJsonObject();
    QTest::newRow("data not an object") << QByteArray(R"({"success":true,"data":[{"interval":45}]})")
                                        << QJsonObject{{"success", true}};
    QTest::newRow("data null") << QByteArray(R"({"data":null})") << QJsonObject();
    QTest::newRow("groups not objects")
        << QByteArray(R"({"data":{"interval":45,"server_status":"x","user_status":[],"device_status":null}})")
        << QJsonObject{{"interval", 45}};
    QTest::newRow("mistyped members")
        << QByteArray(R"({"success":"yes","data":{"interval":"60",
            "server_status":{"status":5,"current_users":"3","max_users":2.5,"cpu_usage":"high"},
            "user_status":{"is_vip":1,"vip_expires_at":20250601,"total_traffic_gb":"1","trial_used":"true",
                           "trial_hours_remaining":"2"},
            "device_status":{"status":true,"force_disconnect":"true","message":7}}})")
        << QJsonObject();
    QTest::newRow("interval beyond int") << QByteArray(R"({"data":{"interval":3000000000}})") << QJsonObject();
    QTest::newRow("interval fraction") << QByteArray(R"({"data":{"interval":1.5}})") << QJsonObject();
    QTest::newRow("interval negative kept") << QByteArray(R"({"data":{"interval":-5}})")
                                            << QJsonObject{{"interval", -5}};
    QTest::newRow("members outside data ignored")
        << QByteArray(R"({"interval":45,"device_status":{"status":"active"}})") << QJsonObject();
}

void HeartbeatServiceTest::responseRecord()
{
    QFETCH(QByteArray, json);
    QFETCH(QJsonObject, expected);

    QJsonObject want = flatten(HeartbeatResponse());
    for (auto it = expected.constBegin(); it != expected.constEnd(); ++it) {
        QVERIFY2(want.contains(it.key()), qPrintable(it.key()));
        want.insert(it.key(), it.value());
    }
    QCOMPARE(compact(flatten(HeartbeatResponse::fromJson(parse(json)))), compact(want));
}

void HeartbeatServiceTest::stats_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("success");
    QTest::addColumn<int>("users");
    QTest::addColumn<int>("devices");

    QTest::newRow("figures") << 0 << QByteArray() << true << 12 << 30;
    QTest::newRow("no data") << 200 << QByteArray(R"({"success":true})") << true << 0 << 0;
    QTest::newRow("data not an object") << 200 << QByteArray(R"({"data":[1,2]})") << true << 0 << 0;
    QTest::newRow("mistyped figures") << 200 << QByteArray(R"({"data":{"online_users":"5","online_devices":7}})")
                                      << true << 0 << 7;
    QTest::newRow("success false") << 200 << QByteArray(R"({"success":false,"data":{"online_users":5}})") << false
                                   << 0 << 0;
    QTest::newRow("HTTP 500") << 500 << QByteArray(R"({"data":{"online_users":5}})") << false << 0 << 0;
}

void HeartbeatServiceTest::stats()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, success);
    QFETCH(int, users);
    QFETCH(int, devices);

    if (status != 0) {
        m_rig.replaceAnswer("GET", kStatsPath, status, body);
    }

    EventRecorder recorder(service());
    LogCapture log;
    QList<std::tuple<bool, int, int>> outcomes;
    service()->getStats([&outcomes](bool ok, const HeartbeatStats &stats) {
        outcomes.append({ok, stats.onlineUsers, stats.onlineDevices});
    });
    QTRY_COMPARE(outcomes.size(), 1);

    QCOMPARE(outcomes.first(), std::make_tuple(success, users, devices));
    QVERIFY(recorder.events.isEmpty());
    QVERIFY(log.contains("[HeartbeatService] 获取统计数据"));
    const QList<RecordedRequest> requests = m_rig.backend().requests("GET", kStatsPath);
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().header("Authorization"), QByteArray("Bearer tok-1"));
    QVERIFY(requests.first().body.isEmpty());
}

QTEST_GUILESS_MAIN(HeartbeatServiceTest)
#include "tst_heartbeatservice.moc"
