#include "api/network/HttpClient.h"
#include "api/services/ServerService.h"
#include "support/BackendTestRig.h"
#include "support/LogCapture.h"
#include "support/Outcome.h"
#include "support/SignalWait.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QTest>

using Norvane::Api::Models::Server;
using Norvane::Api::Network::HttpClient;
using Norvane::Api::Services::ServerService;
using Norvane::LocalBackend::RecordedRequest;
using Norvane::LocalBackend::Reply;

namespace {

ServerService *service()
{
    return ServerService::instance();
}

QJsonObject serverJson(int id, const QString &name)
{
    return {{"id", id}, {"name", name}, {"tier", "free"}, {"vmess_link", QStringLiteral("vmess://link-%1").arg(id)}};
}

QList<int> idsOf(const QList<Server> &servers)
{
    QList<int> ids;
    for (const Server &server : servers)
        ids << server.id;
    return ids;
}

} // namespace

class ServerServiceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void requests_data();
    void requests();
    void listReplacesCacheThenSignals();
    void listFailures_data();
    void listFailures();
    void listWithoutUsableData_data();
    void listWithoutUsableData();
    void detailReply_data();
    void detailReply();
    void detailFailureGivesDefaultServer();
    void clearCacheEmptiesAndLogs();
    void noCallbackStillUpdates();

private:
    void fillCache(const QList<int> &ids);

    BackendTestRig m_rig;
    QJsonObject m_listReply;
    QJsonObject m_detailReply;
    QStringList m_events;
};

void ServerServiceTest::initTestCase()
{
    QVERIFY(m_rig.start());
    m_rig.backend().route("GET", "/api/v1/servers",
                          [this](const RecordedRequest &) { return Reply::json(m_listReply); });
    m_rig.backend().route("GET", "/api/v1/servers/{}",
                          [this](const RecordedRequest &) { return Reply::json(m_detailReply); });

    connect(service(), &ServerService::serversUpdated, this, [this](const QList<Server> &servers) {
        m_events << QStringLiteral("serversUpdated:%1").arg(servers.size());
    });
}

void ServerServiceTest::init()
{
    m_rig.reset();
    HttpClient::instance()->clearAuthToken();
    m_listReply = {{"success", true}, {"data", QJsonArray()}};
    m_detailReply = {{"success", true}, {"data", QJsonObject()}};
    service()->clearCache();
    m_events.clear();
}

void ServerServiceTest::fillCache(const QList<int> &ids)
{
    QJsonArray data;
    for (int id : ids)
        data << serverJson(id, QStringLiteral("S%1").arg(id));
    m_listReply = {{"success", true}, {"data", data}};
    Outcome<QList<Server>> outcome;
    service()->getAllServers(outcome.callback());
    QVERIFY(outcome.wait());
    QCOMPARE(idsOf(service()->cachedServers()), ids);
    m_rig.backend().clearRequests();
    m_events.clear();
}

void ServerServiceTest::requests_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("query");

    QTest::newRow("all, logged out") << "all" << "" << "/api/v1/servers" << "";
    QTest::newRow("all, logged in") << "all" << "tok-a" << "/api/v1/servers" << "";
    QTest::newRow("free") << "free" << "tok-a" << "/api/v1/servers" << "tier=free";
    QTest::newRow("vip") << "vip" << "" << "/api/v1/servers" << "tier=vip";
    QTest::newRow("other tier unchanged") << "tier:premium" << "tok-b" << "/api/v1/servers" << "tier=premium";
    QTest::newRow("empty tier means all") << "tier:" << "" << "/api/v1/servers" << "";
    QTest::newRow("detail 12") << "detail:12" << "tok-c" << "/api/v1/servers/12" << "";
    QTest::newRow("detail 12 logged out") << "detail:12" << "" << "/api/v1/servers/12" << "";
}

void ServerServiceTest::requests()
{
    QFETCH(QString, operation);
    QFETCH(QString, token);
    QFETCH(QString, path);
    QFETCH(QString, query);

    if (!token.isEmpty())
        HttpClient::instance()->setAuthToken(token);
    Outcome<QList<Server>> list;
    Outcome<Server> detail;
    if (operation == "all")
        service()->getAllServers(list.callback());
    else if (operation == "free")
        service()->getFreeServers(list.callback());
    else if (operation == "vip")
        service()->getVipServers(list.callback());
    else if (operation.startsWith("tier:"))
        service()->getServersByTier(operation.mid(5), list.callback());
    else
        service()->getServerById(operation.mid(7).toInt(), detail.callback());
    QVERIFY(QTest::qWaitFor([&]() { return list.calls + detail.calls > 0; }, 10000));

    const QList<RecordedRequest> requests = m_rig.backend().requests();
    QCOMPARE(requests.size(), 1);
    const RecordedRequest &request = requests.first();
    QCOMPARE(request.method, QByteArray("GET"));
    QCOMPARE(request.path, path);
    QCOMPARE(request.query.toString(), query);
    QCOMPARE(request.header("Authorization"), token.isEmpty() ? QByteArray() : "Bearer " + token.toUtf8());
    QCOMPARE(request.hasHeader("Authorization"), !token.isEmpty());
}

void ServerServiceTest::listReplacesCacheThenSignals()
{
    fillCache({1, 2, 3});

    QJsonObject tokyo = serverJson(8, "东京 01");
    tokyo["vmess_link"] = "c2VjcmV0LWJsb2I="; // an encrypted link is kept as sent
    m_listReply = {{"success", true},
                   {"message", "服务器列表"},
                   {"data", QJsonArray{tokyo, 5, serverJson(4, "大阪"), "x"}}};

    Outcome<QList<Server>> outcome;
    service()->getVipServers(outcome.callback(&m_events));
    QVERIFY(outcome.wait());
    QTest::qWait(20);

    QCOMPARE(outcome.calls, 1);
    QVERIFY(outcome.success);
    QCOMPARE(outcome.message, QStringLiteral("获取成功"));
    QCOMPARE(idsOf(outcome.result), QList<int>({8, 4}));
    QCOMPARE(outcome.result.first().name, QStringLiteral("东京 01"));
    QCOMPARE(outcome.result.first().vmessLink, QStringLiteral("c2VjcmV0LWJsb2I="));
    QCOMPARE(m_events, QStringList({"callback", "serversUpdated:2"}));
    // Whatever tier was asked for, the reply replaces the whole cache.
    QCOMPARE(idsOf(service()->cachedServers()), QList<int>({8, 4}));
}

void ServerServiceTest::listFailures_data()
{
    QTest::addColumn<bool>("refused");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("message");

    QTest::newRow("success false") << false << 200 << QByteArray(R"({"success":false,"message":"无权访问"})")
                                   << "无权访问";
    QTest::newRow("http 500 with errors")
        << false << 500 << QByteArray(R"({"message":"m","errors":{"tier":["无效的等级"]}})") << "无效的等级";
    QTest::newRow("http 401") << false << 401 << QByteArray(R"({"success":false,"message":"未登录"})") << "未登录";
    QTest::newRow("http 502 html") << false << 502 << QByteArray("<html>bad gateway</html>") << "";
    QTest::newRow("transport error") << true << 0 << QByteArray() << "";
    // A 2xx that is not a JSON object is no list at all: the cached one stays.
    QTest::newRow("2xx body is an array") << false << 200 << QByteArray(R"([{"id":1}])") << "响应数据无效";
    QTest::newRow("2xx body is not json") << false << 200 << QByteArray("OK") << "响应数据无效";
    QTest::newRow("2xx captive portal page")
        << false << 200 << QByteArray("<html><body>请先登录热点</body></html>") << "响应数据无效";
}

void ServerServiceTest::listFailures()
{
    QFETCH(bool, refused);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, message);

    fillCache({5, 6});
    m_rig.fail("GET", "/api/v1/servers", refused, status, body);

    Outcome<QList<Server>> outcome;
    outcome.success = true;
    service()->getFreeServers(outcome.callback(&m_events));
    QVERIFY(outcome.wait());
    QTest::qWait(20);

    QCOMPARE(outcome.calls, 1);
    QVERIFY(!outcome.success);
    if (refused)
        QVERIFY(!outcome.message.isEmpty()); // the transport's own text
    else
        QCOMPARE(outcome.message, message);
    QVERIFY(outcome.result.isEmpty());
    QCOMPARE(m_events, QStringList({"callback"}));
    QCOMPARE(idsOf(service()->cachedServers()), QList<int>({5, 6}));
}

void ServerServiceTest::listWithoutUsableData_data()
{
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("data is an object") << QByteArray(R"({"success":true,"data":{"id":1}})");
    QTest::newRow("no data") << QByteArray(R"({"message":"ok"})");
}

void ServerServiceTest::listWithoutUsableData()
{
    QFETCH(QByteArray, body);

    fillCache({5, 6});
    m_rig.replaceBody("GET", "/api/v1/servers", body);

    Outcome<QList<Server>> outcome;
    service()->getAllServers(outcome.callback(&m_events));
    QVERIFY(outcome.wait());
    QTest::qWait(20);

    QCOMPARE(outcome.calls, 1);
    QVERIFY(outcome.success);
    QCOMPARE(outcome.message, QStringLiteral("获取成功"));
    QVERIFY(outcome.result.isEmpty());
    QCOMPARE(m_events, QStringList({"callback", "serversUpdated:0"}));
    QVERIFY(service()->cachedServers().isEmpty());
}

void ServerServiceTest::detailReply_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("port");

    QTest::newRow("data object")
        << QByteArray(R"({"success":true,"data":{"id":12,"name":"新加坡","port":"8443","tls_enabled":false}})") << 12
        << "新加坡" << 443;
    QTest::newRow("data is an array") << QByteArray(R"({"success":true,"data":[{"id":12}]})") << 0 << "" << 443;
    QTest::newRow("body is an array") << QByteArray(R"([{"id":12}])") << 0 << "" << 443;
}

void ServerServiceTest::detailReply()
{
    QFETCH(QByteArray, body);
    QFETCH(int, id);
    QFETCH(QString, name);
    QFETCH(int, port);

    fillCache({5, 6});
    m_rig.replaceBody("GET", "/api/v1/servers/{}", body);

    Outcome<Server> outcome;
    service()->getServerById(12, outcome.callback(&m_events));
    QVERIFY(outcome.wait());
    QTest::qWait(20);

    QCOMPARE(outcome.calls, 1);
    QVERIFY(outcome.success);
    QCOMPARE(outcome.message, QStringLiteral("获取成功"));
    QCOMPARE(outcome.result.id, id);
    QCOMPARE(outcome.result.name, name);
    QCOMPARE(outcome.result.port, port);
    // A detail reply touches neither the cache nor the list signal.
    QCOMPARE(m_events, QStringList({"callback"}));
    QCOMPARE(idsOf(service()->cachedServers()), QList<int>({5, 6}));
}

void ServerServiceTest::detailFailureGivesDefaultServer()
{
    m_rig.replaceAnswer("GET", "/api/v1/servers/{}", 404,
                        R"({"success":false,"message":"服务器不存在","data":{"id":99,"port":1}})");

    Outcome<Server> outcome;
    outcome.success = true;
    service()->getServerById(99, outcome.callback(&m_events));
    QVERIFY(outcome.wait());
    QTest::qWait(20);

    QCOMPARE(outcome.calls, 1);
    QVERIFY(!outcome.success);
    QCOMPARE(outcome.message, QStringLiteral("服务器不存在"));
    QCOMPARE(outcome.result.id, 0);
    QCOMPARE(outcome.result.port, 443);
    QVERIFY(outcome.result.tlsEnabled);
    QCOMPARE(m_events, QStringList({"callback"}));
}

void ServerServiceTest::clearCacheEmptiesAndLogs()
{
    fillCache({1, 2});
    LogCapture log;
    service()->clearCache();
    QVERIFY(service()->cachedServers().isEmpty());
    service()->clearCache();
    QCOMPARE(log.count("[ServerService] 服务器缓存已清除"), 2);
    QVERIFY(m_events.isEmpty());
}

void ServerServiceTest::noCallbackStillUpdates()
{
    m_listReply = {{"success", true}, {"data", QJsonArray{serverJson(3, "香港")}}};
    service()->getAllServers();
    QVERIFY(QTest::qWaitFor([this]() { return !m_events.isEmpty(); }, 10000));
    QCOMPARE(m_events, QStringList({"serversUpdated:1"}));
    QCOMPARE(idsOf(service()->cachedServers()), QList<int>({3}));

    // A failure without a completion reaches nobody and changes nothing.
    m_rig.replaceAnswer("GET", "/api/v1/servers", 500, "{}");
    // The error status is signalled in the same step that hands the answer to the service.
    QSignalSpy answered(HttpClient::instance(), &HttpClient::networkError);
    service()->getAllServers();
    QVERIFY(waitForEmissions(answered, 1, 10000));
    QCOMPARE(m_rig.backend().requests().size(), 2);
    QTest::qWait(50);
    QCOMPARE(m_events, QStringList({"serversUpdated:1"}));
    QCOMPARE(idsOf(service()->cachedServers()), QList<int>({3}));
}

QTEST_GUILESS_MAIN(ServerServiceTest)
#include "tst_serverservice.moc"
