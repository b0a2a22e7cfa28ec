#include "api/network/HttpClient.h"
#include "api/security/CryptoUtil.h"
#include "support/BackendTestRig.h"
#include "support/LogCapture.h"
#include "support/LogSecrets.h"
#include "support/PartialReplyHttpServer.h"
#include "support/ReplyCatcher.h"
#include "support/TestCertificate.h"
#include "support/TestEnvironment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QProcess>
#include <QSslConfiguration>
#include <QTest>

using Norvane::Api::Network::ApiResponse;
using Norvane::Api::Network::HttpClient;
using Norvane::Api::Security::CryptoUtil;
using Norvane::LocalBackend::Fault;
using Norvane::LocalBackend::LocalBackendServer;
using Norvane::LocalBackend::RecordedRequest;
using Norvane::LocalBackend::Reply;

Q_DECLARE_METATYPE(PartialReplyHttpServer::Ending)

namespace {

HttpClient *client()
{
    return HttpClient::instance();
}

QByteArray signedBody(const QByteArray &payload, const QString &secret)
{
    const QString data = QString::fromLatin1(payload.toBase64());
    const QJsonObject object{{"encrypted", true},
                             {"data", data},
                             {"signature", CryptoUtil::md5Hex(data + secret)}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// What keeps the response from being the transport failure with that code: no status, no body,
// a failure whose text is the transport's own. Empty when nothing does.
QString transportFailureFault(const ApiResponse &response, int error)
{
    if (response.networkError != error)
        return QStringLiteral("network error %1, not %2").arg(response.networkError).arg(error);
    if (response.statusCode != 0)
        return QStringLiteral("HTTP status %1").arg(response.statusCode);
    if (!response.rawData.isEmpty() || !response.json.isEmpty())
        return QStringLiteral("a body: ") + QString::fromUtf8(response.rawData);
    if (response.isSuccess())
        return QStringLiteral("a success");
    if (response.errorString.isEmpty() || response.errorMessage() != response.errorString)
        return QStringLiteral("the text \"%1\" of \"%2\"").arg(response.errorMessage(), response.errorString);
    return {};
}

} // namespace

class HttpClientTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void defaults();
    void urlJoining_data();
    void urlJoining();
    void queryItemsInKeyOrder();
    void fixedHeaders();
    void authorizationHeader_data();
    void authorizationHeader();
    void postBodyIsCompactAndSorted();
    void envelope_data();
    void envelope();
    void errorMessageRules_data();
    void errorMessageRules();
    void refusedConnection();
    void transferTimeout();
    void transferEndingMidBodyIsATransportFailure_data();
    void transferEndingMidBodyIsATransportFailure();
    void unauthorizedSignalsBeforeCallback_data();
    void unauthorizedSignalsBeforeCallback();
    void signedReplies_data();
    void signedReplies();
    void wrongSignatureIsAFailure();
    void secretsAreMaskedInLogs();
    void signedAndMalformedBodiesKeepSecretsOutOfTheLog_data();
    void signedAndMalformedBodiesKeepSecretsOutOfTheLog();
    void httpsNeedsTrustedCertificate();
    void networkWorkEndsWithTheApplication();

private:
    BackendTestRig m_rig;
};

void HttpClientTest::initTestCase()
{
    QVERIFY(m_rig.start());
    m_rig.backend().route("GET", "/api/v1/echo", [](const RecordedRequest &) {
        return Reply::json({{"success", true}, {"message", "ok"}});
    });
    m_rig.backend().route("POST", "/api/v1/echo", [](const RecordedRequest &) {
        return Reply::json({{"success", true}});
    });
}

void HttpClientTest::init()
{
    m_rig.reset();
    client()->clearAuthToken();
    client()->setApiEncryption(false, QString());
    client()->setTransferTimeout(HttpClient::kDefaultTransferTimeout);
}

void HttpClientTest::cleanup()
{
    m_rig.backend().setSigning(false, QString());
}

void HttpClientTest::defaults()
{
    QCOMPARE(client()->transferTimeout(), 30000);
    // The test run points the client at the local back end through its base URL setter;
    // without the environment override the compiled-in host is used over HTTPS.
    QVERIFY(qEnvironmentVariableIsEmpty("NORVANE_API_BASE_URL"));
}

void HttpClientTest::urlJoining_data()
{
    QTest::addColumn<bool>("baseWithSlash");
    QTest::addColumn<QString>("endpoint");

    QTest::newRow("slash + plain") << true << "echo";
    QTest::newRow("slash + leading slash") << true << "/echo";
    QTest::newRow("no slash + plain") << false << "echo";
    QTest::newRow("no slash + leading slash") << false << "/echo";
}

void HttpClientTest::urlJoining()
{
    QFETCH(bool, baseWithSlash);
    QFETCH(QString, endpoint);

    QString base = m_rig.backend().baseUrl().toString();
    if (!baseWithSlash)
        base.chop(1);
    client()->setBaseUrl(base);

    ReplyCatcher catcher;
    client()->get(endpoint, catcher.callback());
    QVERIFY(catcher.wait());
    QVERIFY(catcher.last().isSuccess());
    QCOMPARE(m_rig.backend().requests().size(), 1);
    QCOMPARE(m_rig.backend().requests().first().path, QStringLiteral("/api/v1/echo"));
}

void HttpClientTest::queryItemsInKeyOrder()
{
    HttpClient::QueryItems query;
    query.insert("tier", "vip");
    query.insert("page", "2");
    query.insert("per_page", "20");

    ReplyCatcher catcher;
    client()->get("echo", catcher.callback(), query);
    client()->get("echo", catcher.callback());
    QVERIFY(catcher.wait(2));

    const QList<RecordedRequest> requests = m_rig.backend().requests();
    QCOMPARE(requests.size(), 2);
    QStringList sent;
    for (const RecordedRequest &request : requests)
        sent << request.query.toString();
    sent.sort();
    QCOMPARE(sent, QStringList({QString(), "page=2&per_page=20&tier=vip"}));
}

void HttpClientTest::fixedHeaders()
{
    ReplyCatcher catcher;
    client()->postNoAuth("echo", {{"a", 1}}, catcher.callback());
    QVERIFY(catcher.wait());

    const RecordedRequest request = m_rig.backend().requests().first();
    QCOMPARE(request.header("Content-Type"), QByteArray("application/json"));
    QCOMPARE(request.header("Accept"), QByteArray("application/json"));
    QCOMPARE(request.header("X-Device-Type"), QByteArray("windows"));
    QCOMPARE(request.header("X-App-Version"), QByteArray("1.0.0"));
}

void HttpClientTest::authorizationHeader_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("token");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("get with token") << "get" << "tok-1" << QByteArray("Bearer tok-1");
    QTest::newRow("get without token") << "get" << "" << QByteArray();
    QTest::newRow("getNoAuth with token") << "getNoAuth" << "tok-1" << QByteArray();
    QTest::newRow("post with token") << "post" << "tok-2" << QByteArray("Bearer tok-2");
    QTest::newRow("post without token") << "post" << "" << QByteArray();
    QTest::newRow("postNoAuth with token") << "postNoAuth" << "tok-2" << QByteArray();
}

void HttpClientTest::authorizationHeader()
{
    QFETCH(QString, operation);
    QFETCH(QString, token);
    QFETCH(QByteArray, expected);

    if (!token.isEmpty())
        client()->setAuthToken(token);

    ReplyCatcher catcher;
    if (operation == "get")
        client()->get("echo", catcher.callback());
    else if (operation == "getNoAuth")
        client()->getNoAuth("echo", catcher.callback());
    else if (operation == "post")
        client()->post("echo", {}, catcher.callback());
    else
        client()->postNoAuth("echo", {}, catcher.callback());
    QVERIFY(catcher.wait());

    const RecordedRequest request = m_rig.backend().requests().first();
    QCOMPARE(request.hasHeader("Authorization"), !expected.isEmpty());
    QCOMPARE(request.header("Authorization"), expected);
}

void HttpClientTest::postBodyIsCompactAndSorted()
{
    const QJsonObject body{{"zeta", 1},
                           {"alpha", "a b"},
                           {"middle", QJsonObject{{"y", true}, {"b", QJsonArray{2, 1}}}}};
    ReplyCatcher catcher;
    client()->post("echo", body, catcher.callback());
    QVERIFY(catcher.wait());
    QCOMPARE(m_rig.backend().requests().first().body,
             QByteArray(R"({"alpha":"a b","middle":{"b":[2,1],"y":true},"zeta":1})"));
}

void HttpClientTest::envelope_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("success");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("jsonEmpty");

    QTest::newRow("200 empty object") << 200 << QByteArray("{}") << true << "" << true;
    QTest::newRow("200 success false with message")
        << 200 << QByteArray(R"({"success":false,"message":"余额不足"})") << false << "余额不足" << false;
    QTest::newRow("200 success as text counts as true")
        << 200 << QByteArray(R"({"success":"false"})") << true << "" << false;
    QTest::newRow("200 html page") << 200 << QByteArray("<html>portal</html>") << true << "" << true;
    QTest::newRow("200 json array") << 200 << QByteArray("[1,2]") << true << "" << true;
    QTest::newRow("422 errors object")
        << 422 << QByteArray(R"({"success":false,"message":"m","errors":{"email":["邮箱已被注册"]}})")
        << false << "邮箱已被注册" << false;
    QTest::newRow("500 html") << 500 << QByteArray("<html><body>Internal Error</body></html>") << false
                              << "" << true;
    QTest::newRow("404 empty body") << 404 << QByteArray() << false << "" << true;
    QTest::newRow("503 json message")
        << 503 << QByteArray(R"({"message":"维护中"})") << false << "维护中" << false;
}

void HttpClientTest::envelope()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, success);
    QFETCH(QString, message);
    QFETCH(bool, jsonEmpty);

    m_rig.replaceAnswer("GET", "/api/v1/echo", status, body);

    QSignalSpy networkErrors(client(), &HttpClient::networkError);
    ReplyCatcher catcher;
    client()->get("echo", catcher.callback());
    QVERIFY(catcher.wait());

    const ApiResponse &response = catcher.last();
    QCOMPARE(response.statusCode, status);
    QCOMPARE(response.networkError, 0);
    QVERIFY(response.errorString.isEmpty());
    QCOMPARE(response.rawData, body);
    QCOMPARE(response.isSuccess(), success);
    QCOMPARE(response.errorMessage(), message);
    QCOMPARE(response.json.isEmpty(), jsonEmpty);
    // Every HTTP error status also goes out as a network error signal, before the callback.
    QCOMPARE(networkErrors.size(), status >= 400 ? 1 : 0);
}

void HttpClientTest::errorMessageRules_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("message");

    QTest::newRow("empty list passed over")
        << QByteArray(R"({"errors":{"a":[],"b":["second key"]},"message":"m"})") << "second key";
    QTest::newRow("first of two texts") << QByteArray(R"({"errors":{"k":["one","two"]}})") << "one";
    QTest::newRow("plain string") << QByteArray(R"({"errors":{"k":"plain"}})") << "plain";
    QTest::newRow("keys in ascending order")
        << QByteArray(R"({"errors":{"zz":["last"],"aa":["first"]}})") << "first";
    QTest::newRow("non-string element reads empty")
        << QByteArray(R"({"errors":{"k":[5,"x"]},"message":"m"})") << "";
    QTest::newRow("errors not an object") << QByteArray(R"({"errors":["x"],"message":"m"})") << "m";
    QTest::newRow("all lists empty") << QByteArray(R"({"errors":{"a":[]},"message":"m"})") << "m";
    QTest::newRow("empty message") << QByteArray(R"({"message":""})") << "";
    QTest::newRow("message not a string") << QByteArray(R"({"message":7})") << "";
}

void HttpClientTest::errorMessageRules()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, message);

    ApiResponse response;
    response.statusCode = 400;
    response.json = ApiResponse::parseObject(json);
    QVERIFY(!response.json.isEmpty());
    QCOMPARE(response.errorMessage(), message);
}

void HttpClientTest::refusedConnection()
{
    m_rig.refuseConnections();

    QStringList events;
    connect(client(), &HttpClient::networkError, this,
            [&events](const QString &text) { events << "networkError:" + text; });
    ReplyCatcher catcher;
    client()->get("echo", [&](const ApiResponse &response) {
        events << "callback";
        catcher.callback()(response);
    });
    QVERIFY(catcher.wait());
    disconnect(client(), &HttpClient::networkError, this, nullptr);

    const ApiResponse &response = catcher.last();
    const QString fault = transportFailureFault(response, QNetworkReply::ConnectionRefusedError);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    QCOMPARE(events, QStringList({"networkError:" + response.errorString, "callback"}));
}

void HttpClientTest::transferTimeout()
{
    Fault fault;
    fault.noAnswer = true;
    m_rig.backend().setFault("GET", "/api/v1/echo", fault);
    client()->setTransferTimeout(300);

    ReplyCatcher catcher;
    client()->get("echo", catcher.callback());
    QVERIFY(catcher.wait(1, 10000));
    const ApiResponse &response = catcher.last();
    QCOMPARE(response.networkError, int(QNetworkReply::OperationCanceledError));
    QCOMPARE(response.statusCode, 0);
    QVERIFY(!response.isSuccess());
    QVERIFY(!response.errorMessage().isEmpty());
}

void HttpClientTest::transferEndingMidBodyIsATransportFailure_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<PartialReplyHttpServer::Ending>("ending");
    QTest::addColumn<int>("error");

    const auto closed = PartialReplyHttpServer::Ending::Close;
    const auto stalled = PartialReplyHttpServer::Ending::Stall;
    const int remoteClosed = QNetworkReply::RemoteHostClosedError;
    const int timedOut = QNetworkReply::OperationCanceledError;
    QTest::newRow("200 closed mid-body") << 200 << closed << remoteClosed;
    QTest::newRow("200 stalled until the time-out") << 200 << stalled << timedOut;
    QTest::newRow("401 closed mid-body") << 401 << closed << remoteClosed;
    QTest::newRow("500 stalled until the time-out") << 500 << stalled << timedOut;
}

// Whatever status line came first, a body that never arrived whole is the transport's failure:
// the caller gets the transport's text, and no half a reply to read.
void HttpClientTest::transferEndingMidBodyIsATransportFailure()
{
    QFETCH(int, status);
    QFETCH(PartialReplyHttpServer::Ending, ending);
    QFETCH(int, error);

    PartialReplyHttpServer server(status, R"({"success":true,"token":"tok-partial","message":"半)", ending);
    QVERIFY(server.listen());
    client()->setBaseUrl(server.baseUrl());
    client()->setTransferTimeout(300);

    LogCapture log;
    QSignalSpy networkErrors(client(), &HttpClient::networkError);
    QSignalSpy authentication(client(), &HttpClient::authenticationRequired);
    ReplyCatcher catcher;
    client()->get("echo", catcher.callback());
    QVERIFY(catcher.wait(1, 10000));

    const QString fault = transportFailureFault(catcher.last(), error);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    QCOMPARE(networkErrors.size(), 1);
    QCOMPARE(authentication.size(), 0);
    const QStringList leaks = leakedSecrets(log.messages(), {"tok-partial"});
    QVERIFY2(leaks.isEmpty(), qPrintable(leaks.join('\n')));
}

void HttpClientTest::unauthorizedSignalsBeforeCallback_data()
{
    QTest::addColumn<bool>("login");
    QTest::newRow("authenticated get") << false;
    QTest::newRow("login post without auth") << true;
}

void HttpClientTest::unauthorizedSignalsBeforeCallback()
{
    QFETCH(bool, login);

    m_rig.replaceAnswer(login ? "POST" : "GET", login ? "/api/v1/auth/login" : "/api/v1/echo", 401,
                        R"({"success":false,"message":"未授权"})");
    client()->setAuthToken("stale");

    QStringList events;
    connect(client(), &HttpClient::authenticationRequired, this,
            [&events]() { events << "authenticationRequired"; });
    ReplyCatcher catcher;
    auto callback = [&](const ApiResponse &response) {
        events << "callback";
        catcher.callback()(response);
    };
    if (login)
        client()->postNoAuth("auth/login", {{"email", "a@b.c"}}, callback);
    else
        client()->get("echo", callback);
    QVERIFY(catcher.wait());
    disconnect(client(), &HttpClient::authenticationRequired, this, nullptr);

    QCOMPARE(events, QStringList({"authenticationRequired", "callback"}));
    QCOMPARE(catcher.last().statusCode, 401);
    QCOMPARE(catcher.last().errorMessage(), QStringLiteral("未授权"));
    // A reply never changes the client's own state.
    QCOMPARE(client()->authToken(), QStringLiteral("stale"));
}

void HttpClientTest::signedReplies_data()
{
    QTest::addColumn<QString>("secret");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("expectedRaw");
    QTest::addColumn<bool>("decoded");

    const QString secret = "s3cret-值";
    const QByteArray payload = R"({"data":{"name":"线路"},"success":true})";
    const QByteArray good = signedBody(payload, secret);

    QTest::newRow("valid signature") << secret << 200 << good << payload << true;
    QTest::newRow("decoding off without secret") << QString() << 200 << good << good << false;
    QTest::newRow("error status never decoded") << secret << 400 << good << good << false;

    QJsonObject notEncrypted = QJsonDocument::fromJson(good).object();
    notEncrypted["encrypted"] = false;
    const QByteArray plainFlag = QJsonDocument(notEncrypted).toJson(QJsonDocument::Compact);
    QTest::newRow("encrypted false") << secret << 200 << plainFlag << plainFlag << false;

    QJsonObject noFlag = QJsonDocument::fromJson(good).object();
    noFlag.remove("encrypted");
    const QByteArray withoutFlag = QJsonDocument(noFlag).toJson(QJsonDocument::Compact);
    QTest::newRow("encrypted absent") << secret << 200 << withoutFlag << withoutFlag << false;

    QJsonObject emptyData = QJsonDocument::fromJson(good).object();
    emptyData["data"] = "";
    const QByteArray noData = QJsonDocument(emptyData).toJson(QJsonDocument::Compact);
    QTest::newRow("empty data") << secret << 200 << noData << noData << false;
}

void HttpClientTest::signedReplies()
{
    QFETCH(QString, secret);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, expectedRaw);
    QFETCH(bool, decoded);

    client()->setApiEncryption(true, secret);
    m_rig.replaceAnswer("GET", "/api/v1/echo", status, body);

    LogCapture log;
    ReplyCatcher catcher;
    client()->get("echo", catcher.callback());
    QVERIFY(catcher.wait());

    const ApiResponse &response = catcher.last();
    QCOMPARE(response.rawData, expectedRaw);
    QCOMPARE(response.json, ApiResponse::parseObject(expectedRaw));
    QVERIFY(!response.signatureRejected);
    QCOMPARE(log.contains("[HttpClient] API响应解密成功"), decoded);
    QVERIFY(!log.contains("[HttpClient] API响应签名验证失败"));
    if (decoded)
        QCOMPARE(response.json.value("data").toObject().value("name").toString(), QStringLiteral("线路"));
}

void HttpClientTest::wrongSignatureIsAFailure()
{
    const QString secret = "s3cret";
    client()->setApiEncryption(true, secret);

    const QByteArray payload = R"({"data":{"id":1},"success":true})";
    const QByteArray good = signedBody(payload, secret);
    QJsonObject object = QJsonDocument::fromJson(good).object();

    QList<QByteArray> bodies;
    QJsonObject upper = object;
    upper["signature"] = upper.value("signature").toString().toUpper();
    bodies << QJsonDocument(upper).toJson(QJsonDocument::Compact);
    QJsonObject missing = object;
    missing.remove("signature");
    bodies << QJsonDocument(missing).toJson(QJsonDocument::Compact);
    QJsonObject changed = object;
    changed["data"] = QString::fromLatin1(QByteArray(R"({"data":{"id":2},"success":true})").toBase64());
    bodies << QJsonDocument(changed).toJson(QJsonDocument::Compact);

    for (const QByteArray &body : bodies) {
        m_rig.replaceBody("GET", "/api/v1/echo", body);
        QTest::ignoreMessage(QtWarningMsg, "[HttpClient] API响应签名验证失败");
        ReplyCatcher catcher;
        client()->get("echo", catcher.callback());
        QVERIFY(catcher.wait());
        const ApiResponse &response = catcher.last();
        QVERIFY2(!response.isSuccess(), body.constData());
        QCOMPARE(response.errorMessage(), QStringLiteral("API响应签名验证失败"));
        QVERIFY(response.json.isEmpty());
        QCOMPARE(response.statusCode, 200);
    }

    // The back end's own wrong-signature form is refused the same way.
    m_rig.backend().clearFaults();
    m_rig.backend().setSigning(true, secret);
    Fault invalid;
    invalid.signing = Fault::Signing::Invalid;
    m_rig.backend().setFault("GET", "/api/v1/echo", invalid);
    QTest::ignoreMessage(QtWarningMsg, "[HttpClient] API响应签名验证失败");
    ReplyCatcher catcher;
    client()->get("echo", catcher.callback());
    QVERIFY(catcher.wait());
    QVERIFY(!catcher.last().isSuccess());

    m_rig.backend().clearFaults();
    ReplyCatcher signedCatcher;
    client()->get("echo", signedCatcher.callback());
    QVERIFY(signedCatcher.wait());
    QVERIFY(signedCatcher.last().isSuccess());
    QCOMPARE(signedCatcher.last().json.value("message").toString(), QStringLiteral("ok"));
}

void HttpClientTest::secretsAreMaskedInLogs()
{
    client()->setAuthToken("bearer-secret");
    m_rig.replaceBody("POST", "/api/v1/echo",
                      R"({"success":true,"token":"reply-token-1","data":{"vmess_link":"vmess://abc",)"
                      R"("api_secret_key":{"type":"string","value":"sig-secret"},"list":[{"password":"pw2"}]}})");

    LogCapture log;
    ReplyCatcher catcher;
    client()->post("echo", {{"password", "hunter2"}, {"vpn_encrypt_key", "link-key"}, {"name", "visible"}},
                   catcher.callback());
    QVERIFY(catcher.wait());

    const QString all = log.messages().join('\n');
    for (const char *secret : {"hunter2", "link-key", "reply-token-1", "vmess://abc", "sig-secret", "pw2",
                               "bearer-secret"})
        QVERIFY2(!all.contains(QLatin1String(secret)), secret);
    QVERIFY(all.contains("visible"));
    QVERIFY(all.contains("***"));
    // The reply itself is untouched.
    QCOMPARE(catcher.last().json.value("token").toString(), QStringLiteral("reply-token-1"));
}

void HttpClientTest::signedAndMalformedBodiesKeepSecretsOutOfTheLog_data()
{
    QTest::addColumn<QString>("clientSecret"); // empty: decoding off
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");

    const QByteArray record = R"({"success":true,"token":"tok-in-record","data":{"api_secret_key":)"
                              R"({"type":"string","value":"sig-in-record"}}})";
    const QByteArray signedRecord = signedBody(record, "back-end-secret");
    QTest::newRow("signed, client has no secret") << QString() << 200 << signedRecord;
    QTest::newRow("signed, wrong signature") << "other-secret" << 200 << signedRecord;
    QTest::newRow("signed error reply") << "back-end-secret" << 400 << signedRecord;
    QTest::newRow("cut JSON on an error")
        << QString() << 500
        << QByteArray(R"({"message":"x","token":"tok-in-record","data":{"api_secret_key":{"value":"sig-in-record"},)"
                      R"("password":"pw-in-record", "vmess_link":"vmess://link-in-rec)");
    QTest::newRow("JSON-like text in a page")
        << QString() << 502
        << QByteArray(R"(<pre>upstream said {"token": "tok-in-record", "vpn_encrypt_key":"key-in-record"}</pre>)");
}

void HttpClientTest::signedAndMalformedBodiesKeepSecretsOutOfTheLog()
{
    QFETCH(QString, clientSecret);
    QFETCH(int, status);
    QFETCH(QByteArray, body);

    client()->setApiEncryption(!clientSecret.isEmpty(), clientSecret);
    m_rig.replaceAnswer("GET", "/api/v1/echo", status, body);

    LogCapture log;
    ReplyCatcher catcher;
    client()->get("echo", catcher.callback());
    QVERIFY(catcher.wait());

    QVERIFY(log.contains("[HttpClient] 响应数据:"));
    const QStringList leaks = leakedSecrets(log.messages(), {"tok-in-record", "sig-in-record", "pw-in-record",
                                                             "link-in-rec", "key-in-record"});
    QVERIFY2(leaks.isEmpty(), qPrintable(leaks.join('\n')));
    // What the caller gets stays as it came.
    QCOMPARE(catcher.last().statusCode, status);
}

void HttpClientTest::httpsNeedsTrustedCertificate()
{
    TestCertificate certificate;
    QVERIFY2(certificate.isValid(), qPrintable(certificate.errorString()));

    // One server per attempt: the network layer keeps a connection per host and port.
    const auto exchange = [&certificate](bool trust) {
        LocalBackendServer tlsServer;
        if (!tlsServer.listenTls(certificate.certificate(), certificate.key()))
            return ApiResponse();
        tlsServer.route("GET", "/api/v1/configs", [](const RecordedRequest &) {
            return Reply::json({{"success", true}, {"data", QJsonObject()}});
        });
        client()->setBaseUrl(tlsServer.baseUrl().toString());

        const QSslConfiguration original = QSslConfiguration::defaultConfiguration();
        if (trust) {
            QSslConfiguration trusting = original;
            trusting.addCaCertificate(certificate.certificate());
            QSslConfiguration::setDefaultConfiguration(trusting);
        }
        ReplyCatcher catcher;
        client()->getNoAuth("configs", catcher.callback());
        const bool answered = catcher.wait();
        QSslConfiguration::setDefaultConfiguration(original);
        return answered ? catcher.last() : ApiResponse();
    };

    const ApiResponse untrusted = exchange(false);
    QCOMPARE(untrusted.networkError, int(QNetworkReply::SslHandshakeFailedError));
    QCOMPARE(untrusted.statusCode, 0);
    QVERIFY(!untrusted.isSuccess());

    const ApiResponse trusted = exchange(true);
    QVERIFY2(trusted.isSuccess(), qPrintable(trusted.errorMessage()));
    QCOMPARE(trusted.statusCode, 200);
    QCOMPARE(trusted.json.value("success").toBool(), true);
}

// The client is a process-wide singleton that outlives the application object; a request still
// on its way then must neither crash the exit nor be sent once the application is gone.
void HttpClientTest::networkWorkEndsWithTheApplication()
{
    Fault fault;
    fault.noAnswer = true;
    m_rig.backend().setFault("GET", "/api/v1/echo", fault);

    QProcess probe;
    probe.setProcessEnvironment(TestEnvironment::childEnvironment());
    const QString baseUrl = m_rig.backend().baseUrl().toString();
    probe.start(TestEnvironment::helperPath(QStringLiteral("norvane_exit_probe")), {baseUrl});
    QVERIFY(probe.waitForStarted());
    QVERIFY(QTest::qWaitFor([&]() { return probe.state() == QProcess::NotRunning; }, 10000));
    const QString log = QString::fromUtf8(probe.readAllStandardError());
    QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
    QCOMPARE(probe.exitCode(), 0);
    // The request was sent before the probe ended; the back end may read it a moment later.
    QTRY_COMPARE(m_rig.backend().requests("GET", "/api/v1/echo").size(), 1);
    QVERIFY2(log.contains(QStringLiteral("[HttpClient] 应用程序已结束, 请求未发送: \"%1echo\"").arg(baseUrl)),
             qPrintable(log));
}

QTEST_GUILESS_MAIN(HttpClientTest)
#include "tst_httpclient.moc"
