#include "localbackend/ApiRoutes.h"
#include "localbackend/LocalBackendServer.h"
#include "platform/process/TiedChildProcess.h"
#include "support/LogCapture.h"
#include "support/SendTogether.h"
#include "support/SignalWait.h"
#include "support/TestCertificate.h"
#include "support/TestEnvironment.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSslConfiguration>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using Norvane::LocalBackend::ApiRoutes;
using Norvane::LocalBackend::Fault;
using Norvane::LocalBackend::LocalBackendServer;
using Norvane::LocalBackend::RecordedRequest;
using Norvane::LocalBackend::Reply;

Q_DECLARE_METATYPE(Norvane::LocalBackend::Fault)
Q_DECLARE_METATYPE(Norvane::LocalBackend::Fault::Signing)

namespace {

struct Outcome
{
    bool finished = false;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    int status = 0;
    QByteArray body;
    QByteArray contentType;
    int sslErrors = 0;
    qint64 elapsedMs = 0;

    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
};

// Sends one request and waits for it to end, however it ends.
Outcome exchange(QNetworkAccessManager &nam, const QNetworkRequest &request,
                 const QByteArray &method = "GET", const QByteArray &body = {})
{
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<QNetworkReply> reply(nam.sendCustomRequest(request, method, body));
    Outcome outcome;
    QObject::connect(reply.get(), &QNetworkReply::sslErrors,
                     [&outcome](const QList<QSslError> &errors) { outcome.sslErrors += errors.size(); });
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    outcome.finished = waitForEmissions(finished, 1, 15000);
    outcome.elapsedMs = clock.elapsed();
    outcome.error = reply->error();
    outcome.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->isOpen())
        outcome.body = reply->readAll();
    outcome.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    return outcome;
}

QNetworkRequest to(const LocalBackendServer &server, const QString &endpoint)
{
    return QNetworkRequest(server.baseUrl().resolved(QUrl(endpoint)));
}

QByteArray md5Hex(const QByteArray &text)
{
    return QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex();
}

QJsonObject configItem(const QJsonObject &configsReply, const QString &key)
{
    return configsReply.value("data").toObject().value(key).toObject();
}

QString backendProgram()
{
    return qEnvironmentVariable("NORVANE_LOCAL_BACKEND");
}

// The standalone program as a child process, stopped with SIGTERM when the test is done with it.
class BackendProcess
{
public:
    explicit BackendProcess(const QStringList &arguments)
    {
        m_process.setProcessEnvironment(TestEnvironment::childEnvironment());
        Norvane::Platform::startTiedChild(m_process, backendProgram(), arguments);
    }

    ~BackendProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    // The base URL from the listening line, or empty when no such line came.
    QUrl waitForListening()
    {
        QElapsedTimer clock;
        clock.start();
        while (!m_process.canReadLine() && clock.elapsed() < 10000)
            m_process.waitForReadyRead(200);
        m_line = QString::fromUtf8(m_process.readLine()).trimmed();
        static const QRegularExpression pattern(
            QStringLiteral("^norvane-local-backend listening on (https?://127\\.0\\.0\\.1:\\d+/api/v1/)$"));
        const QRegularExpressionMatch match = pattern.match(m_line);
        return match.hasMatch() ? QUrl(match.captured(1)) : QUrl();
    }

    bool terminate()
    {
        m_process.terminate();
        return m_process.waitForFinished(10000);
    }

    bool waitForExit() { return m_process.waitForFinished(10000); }
    QProcess &process() { return m_process; }
    QString line() const { return m_line; }

private:
    QProcess m_process;
    QString m_line;
};

} // namespace

class LocalBackendTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void dispatchesByMethodAndPattern_data();
    void dispatchesByMethodAndPattern();
    void recordsEveryRequestBeforeAnswering();
    void listensOnceOn127001();
    void bodySizeIsLimited_data();
    void bodySizeIsLimited();
    void requestLogKeepsTheLatestRequests();

    void faultShapesTheAnswer_data();
    void faultShapesTheAnswer();
    void delayFaultHoldsTheAnswer();
    void noAnswerFaultLeavesTheRequestOpen();
    void heldAnswersGoWithTheServer_data();
    void heldAnswersGoWithTheServer();
    void faultAppliesForItsTimes_data();
    void faultAppliesForItsTimes();

    void signsReplies_data();
    void signsReplies();

    void httpsNeedsTheCertificateTrusted_data();
    void httpsNeedsTheCertificateTrusted();

    void apiRoutesServeTheBuiltInConfigs();
    void apiRoutesSignWhenTheConfigurationSaysSo();
    void apiRoutesRefuseMalformedSeeds_data();
    void apiRoutesRefuseMalformedSeeds();
    void apiRoutesRefuseBadConfigValues_data();
    void apiRoutesRefuseBadConfigValues();

    void programServesConfigsFromItsSeed();
    void programServesHttps();
    void programRefusesABadStart_data();
    void programRefusesABadStart();

private:
    QString writeFile(const QString &name, const QByteArray &contents);

    std::unique_ptr<TestCertificate> m_certificate;
    QTemporaryDir m_files;
    std::unique_ptr<LocalBackendServer> m_server;
    std::unique_ptr<QNetworkAccessManager> m_nam;
};

void LocalBackendTest::initTestCase()
{
    TestEnvironment::isolate();
    m_certificate = std::make_unique<TestCertificate>();
    QVERIFY2(m_certificate->isValid(), qPrintable(m_certificate->errorString()));
    QVERIFY(m_files.isValid());
}

void LocalBackendTest::init()
{
    m_server = std::make_unique<LocalBackendServer>();
    QVERIFY(m_server->listen());
    m_nam = std::make_unique<QNetworkAccessManager>();
}

void LocalBackendTest::cleanup()
{
    m_nam.reset();
    m_server.reset();
}

QString LocalBackendTest::writeFile(const QString &name, const QByteArray &contents)
{
    QFile file(m_files.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

void LocalBackendTest::dispatchesByMethodAndPattern_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QString>("endpoint");
    QTest::addColumn<QString>("route");     // empty: no route, so the 404 answer
    QTest::addColumn<QStringList>("args");

    QTest::newRow("literal") << QByteArray("GET") << "servers" << "list" << QStringList();
    QTest::newRow("same path, other method") << QByteArray("POST") << "servers" << "create" << QStringList();
    QTest::newRow("one capture") << QByteArray("GET") << "servers/17" << "detail" << QStringList{"17"};
    QTest::newRow("capture inside the path") << QByteArray("GET") << "payments/ord-9/status" << "status"
                                             << QStringList{"ord-9"};
    QTest::newRow("literal beats capture") << QByteArray("GET") << "servers/favourite" << "favourite"
                                           << QStringList();
    QTest::newRow("unknown method") << QByteArray("DELETE") << "servers" << "" << QStringList();
    QTest::newRow("extra segment") << QByteArray("GET") << "servers/17/more" << "" << QStringList();
    QTest::newRow("empty segment is no capture") << QByteArray("GET") << "servers/" << "" << QStringList();
    QTest::newRow("outside the API") << QByteArray("GET") << "/health" << "" << QStringList();
}

void LocalBackendTest::dispatchesByMethodAndPattern()
{
    QFETCH(QByteArray, method);
    QFETCH(QString, endpoint);
    QFETCH(QString, route);
    QFETCH(QStringList, args);

    const auto answering = [](const QString &name) {
        return [name](const RecordedRequest &request) {
            return Reply::json({{"route", name}, {"args", QJsonArray::fromStringList(request.pathArgs)}});
        };
    };
    m_server->route("GET", "/api/v1/servers", answering("list"));
    m_server->route("POST", "/api/v1/servers", answering("create"));
    m_server->route("GET", "/api/v1/servers/{}", answering("detail"));
    m_server->route("GET", "/api/v1/servers/favourite", answering("favourite"));
    m_server->route("GET", "/api/v1/payments/{}/status", answering("status"));

    const Outcome outcome = exchange(*m_nam, to(*m_server, endpoint), method);
    QVERIFY(outcome.finished);
    if (route.isEmpty()) {
        QCOMPARE(outcome.status, 404);
        QCOMPARE(outcome.contentType, QByteArray("application/json"));
        QCOMPARE(outcome.json(), (QJsonObject{{"success", false}, {"message", "Not Found"}}));
    } else {
        QCOMPARE(outcome.status, 200);
        QCOMPARE(outcome.json().value("route").toString(), route);
        QCOMPARE(outcome.json().value("args").toVariant().toStringList(), args);
    }
    QCOMPARE(m_server->requests().size(), 1);
    QCOMPARE(m_server->requests().first().pathArgs, args);
}

void LocalBackendTest::recordsEveryRequestBeforeAnswering()
{
    int seenByHandler = -1;
    m_server->route("POST", "/api/v1/orders/{}", [&](const RecordedRequest &) {
        seenByHandler = m_server->requests().size();
        return Reply::json({{"success", true}});
    });
    QSignalSpy received(m_server.get(), &LocalBackendServer::requestReceived);

    QNetworkRequest request = to(*m_server, "orders/42?page=2&size=10");
    request.setRawHeader("X-Device-Type", "windows");
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    QCOMPARE(exchange(*m_nam, request, "POST", R"({"amount":15,"plan":"月卡"})").status, 200);
    QCOMPARE(exchange(*m_nam, to(*m_server, "missing?x=1")).status, 404);

    QCOMPARE(seenByHandler, 1);
    QCOMPARE(received.size(), 2);
    QCOMPARE(received.at(0).at(0).toByteArray(), QByteArray("POST"));
    QCOMPARE(received.at(0).at(1).toString(), QString("/api/v1/orders/42"));

    const QList<RecordedRequest> posts = m_server->requests("POST", "/api/v1/orders/42");
    QCOMPARE(posts.size(), 1);
    const RecordedRequest &post = posts.first();
    QCOMPARE(post.query.queryItemValue("page"), QString("2"));
    QCOMPARE(post.query.queryItemValue("size"), QString("10"));
    QCOMPARE(post.header("x-device-type"), QByteArray("windows"));
    QVERIFY(post.hasHeader("Content-Type"));
    QVERIFY(!post.hasHeader("Authorization"));
    QCOMPARE(post.jsonBody().value("plan").toString(), QString("月卡"));
    QCOMPARE(post.jsonBody().value("amount").toInt(), 15);
    QCOMPARE(post.pathArgs, QStringList{"42"});

    const RecordedRequest unknown = m_server->requests().last();
    QCOMPARE(unknown.method, QByteArray("GET"));
    QCOMPARE(unknown.path, QString("/api/v1/missing"));
    QCOMPARE(unknown.query.queryItemValue("x"), QString("1"));
    QVERIFY(unknown.body.isEmpty());

    m_server->clearRequests();
    QVERIFY(m_server->requests().isEmpty());
}

void LocalBackendTest::listensOnceOn127001()
{
    QCOMPARE(m_server->baseUrl(), QUrl(QStringLiteral("http://127.0.0.1:%1/api/v1/").arg(m_server->port())));
    QVERIFY(!m_server->isTls());
    QVERIFY(!m_server->listen());

    LocalBackendServer second;
    QVERIFY(second.baseUrl().isEmpty());
    QVERIFY(!second.listen(m_server->port()));
    QVERIFY(second.baseUrl().isEmpty());
}

void LocalBackendTest::bodySizeIsLimited_data()
{
    QTest::addColumn<qsizetype>("size");
    QTest::addColumn<int>("status");

    const qsizetype limit = LocalBackendServer::kMaxBodySize;
    QCOMPARE(limit, qsizetype(1024 * 1024));
    QTest::newRow("small") << qsizetype(100) << 200;
    QTest::newRow("longer than the log keeps") << LocalBackendServer::kLoggedBodyLimit + 1 << 200;
    QTest::newRow("at the limit") << limit << 200;
    QTest::newRow("one byte over") << limit + 1 << 413;
    QTest::newRow("ten megabytes") << 10 * limit << 413;
}

// Bodies over the limit are refused in the envelope's error form without reaching the route;
// the log keeps a body only up to its own smaller limit, marked when it was cut.
void LocalBackendTest::bodySizeIsLimited()
{
    QFETCH(qsizetype, size);
    QFETCH(int, status);

    qsizetype seenByRoute = -1;
    m_server->route("POST", "/api/v1/orders", [&seenByRoute](const RecordedRequest &request) {
        seenByRoute = request.body.size();
        return Reply::json({{"success", true}});
    });
    const QByteArray body(size, 'x');
    QNetworkRequest request = to(*m_server, "orders");
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    const Outcome outcome = exchange(*m_nam, request, "POST", body);

    QVERIFY(outcome.finished);
    QCOMPARE(outcome.status, status);
    QCOMPARE(seenByRoute, status == 200 ? size : qsizetype(-1));
    if (status == 413) {
        QCOMPARE(outcome.contentType, QByteArray("application/json"));
        QCOMPARE(outcome.json().value("success"), QJsonValue(false));
        QVERIFY(!outcome.json().value("message").toString().isEmpty());
    }

    const QList<RecordedRequest> logged = m_server->requests("POST", "/api/v1/orders");
    QCOMPARE(logged.size(), 1);
    const bool cut = size > LocalBackendServer::kLoggedBodyLimit;
    QCOMPARE(logged.first().isBodyCut(), cut);
    QCOMPARE(logged.first().receivedBodySize, size);
    QCOMPARE(logged.first().body, cut ? body.left(LocalBackendServer::kLoggedBodyLimit) : body);
}

void LocalBackendTest::requestLogKeepsTheLatestRequests()
{
    m_server->route("GET", "/api/v1/plans", [](const RecordedRequest &) { return Reply::json({{"success", true}}); });
    const int capacity = LocalBackendServer::kRequestLogCapacity;
    QVERIFY(capacity >= 1000);
    const int sent = capacity + 5;

    // The first few one at a time, so the oldest are known; the rest as fast as they go.
    const int sequential = 10;
    for (int i = 0; i < sequential; ++i)
        QCOMPARE(exchange(*m_nam, to(*m_server, QStringLiteral("plans?n=%1").arg(i))).status, 200);
    QList<QPair<QNetworkRequest, QByteArray>> rest;
    for (int i = sequential; i < sent; ++i)
        rest.append({to(*m_server, QStringLiteral("plans?n=%1").arg(i)), QByteArray()});
    QVERIFY(sendTogether(*m_nam, "GET", rest));

    const QList<RecordedRequest> logged = m_server->requests();
    QCOMPARE(logged.size(), capacity);
    QSet<int> numbers;
    for (const RecordedRequest &request : logged)
        numbers.insert(request.query.queryItemValue("n").toInt());
    QCOMPARE(numbers.size(), capacity);
    for (int i = 0; i < sequential; ++i)
        QCOMPARE(numbers.contains(i), i >= sent - capacity);
}

void LocalBackendTest::faultShapesTheAnswer_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");

    const QByteArray routeBody = R"({"success":true})";
    Fault fault;
    fault.status = 503;
    QTest::newRow("status only") << fault << 503 << routeBody << QByteArray("application/json");
    fault.status = 299;
    QTest::newRow("status without a name") << fault << 299 << routeBody << QByteArray("application/json");
    fault.status = 520;
    QTest::newRow("server status without a name") << fault << 520 << routeBody << QByteArray("application/json");

    fault = {};
    fault.status = 502;
    fault.body = "<html><body>Bad Gateway</body></html>";
    fault.contentType = "text/html";
    QTest::newRow("html page") << fault << 502 << *fault.body << QByteArray("text/html");

    fault = {};
    fault.body = QByteArray();
    QTest::newRow("empty body") << fault << 200 << QByteArray() << QByteArray("application/json");

    fault = {};
    fault.contentType = "text/plain";
    QTest::newRow("content type only") << fault << 200 << routeBody << QByteArray("text/plain");
}

void LocalBackendTest::faultShapesTheAnswer()
{
    QFETCH(Fault, fault);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);

    m_server->route("GET", "/api/v1/plans", [](const RecordedRequest &) { return Reply::json({{"success", true}}); });
    m_server->setFault("GET", "/api/v1/plans", fault);

    const Outcome outcome = exchange(*m_nam, to(*m_server, "plans"));
    QVERIFY(outcome.finished);
    QCOMPARE(outcome.status, status);
    QCOMPARE(outcome.body, body);
    QCOMPARE(outcome.contentType, contentType);
}

void LocalBackendTest::delayFaultHoldsTheAnswer()
{
    m_server->route("GET", "/api/v1/announcements", [](const RecordedRequest &) {
        return Reply::json({{"success", true}});
    });
    Fault fault;
    fault.delayMs = 400;
    m_server->setFault("GET", "/api/v1/announcements", fault);

    const Outcome outcome = exchange(*m_nam, to(*m_server, "announcements"));
    QVERIFY(outcome.finished);
    QCOMPARE(outcome.status, 200);
    QCOMPARE(outcome.json().value("success").toBool(), true);
    QVERIFY2(outcome.elapsedMs >= 400, qPrintable(QString::number(outcome.elapsedMs)));
}

void LocalBackendTest::noAnswerFaultLeavesTheRequestOpen()
{
    m_server->route("POST", "/api/v1/heartbeat", [](const RecordedRequest &) {
        return Reply::json({{"success", true}});
    });
    Fault fault;
    fault.noAnswer = true;
    m_server->setFault("POST", "/api/v1/heartbeat", fault);

    QNetworkRequest request = to(*m_server, "heartbeat");
    request.setTransferTimeout(300);
    const Outcome outcome = exchange(*m_nam, request, "POST", "{}");
    QVERIFY(outcome.finished);
    QCOMPARE(outcome.error, QNetworkReply::OperationCanceledError);
    QCOMPARE(outcome.status, 0);
    QCOMPARE(m_server->requests("POST", "/api/v1/heartbeat").size(), 1);

    // The client gave up and closed its socket; the server lets go and answers the next one.
    QTest::qWait(100);
    m_server->clearFaults();
    QCOMPARE(exchange(*m_nam, to(*m_server, "heartbeat"), "POST", "{}").status, 200);
}

void LocalBackendTest::heldAnswersGoWithTheServer_data()
{
    QTest::addColumn<Fault>("fault");
    Fault fault;
    fault.noAnswer = true;
    QTest::newRow("no answer") << fault;
    fault = {};
    fault.delayMs = 5000;
    QTest::newRow("delayed answer") << fault;
}

void LocalBackendTest::heldAnswersGoWithTheServer()
{
    QFETCH(Fault, fault);
    m_server->route("GET", "/api/v1/orders", [](const RecordedRequest &) { return Reply::json({}); });
    m_server->setFault("GET", "/api/v1/orders", fault);
    connect(m_server.get(), &LocalBackendServer::requestReceived, this,
            [this] { QTimer::singleShot(50, this, [this] { m_server.reset(); }); });

    const Outcome outcome = exchange(*m_nam, to(*m_server, "orders"));
    QVERIFY(!m_server);
    QVERIFY(outcome.finished);
    QVERIFY(outcome.elapsedMs < 4000);
    QCOMPARE(outcome.status, 0);
    QVERIFY(outcome.error != QNetworkReply::NoError);
}

void LocalBackendTest::faultAppliesForItsTimes_data()
{
    QTest::addColumn<int>("times");
    QTest::addColumn<QList<int>>("statuses");
    QTest::newRow("once") << 1 << QList<int>{503, 200, 200};
    QTest::newRow("twice") << 2 << QList<int>{503, 503, 200};
    QTest::newRow("always") << -1 << QList<int>{503, 503, 503};
    QTest::newRow("never") << 0 << QList<int>{200, 200, 200};
}

void LocalBackendTest::faultAppliesForItsTimes()
{
    QFETCH(int, times);
    QFETCH(QList<int>, statuses);
    m_server->route("GET", "/api/v1/servers/{}", [](const RecordedRequest &) { return Reply::json({}); });
    Fault fault;
    fault.status = 503;
    fault.times = times;
    m_server->setFault("GET", "/api/v1/servers/{}", fault);

    QList<int> seen;
    for (int i = 0; i < statuses.size(); ++i)
        seen.append(exchange(*m_nam, to(*m_server, QStringLiteral("servers/%1").arg(i))).status);
    QCOMPARE(seen, statuses);

    m_server->clearFaults();
    QCOMPARE(exchange(*m_nam, to(*m_server, "servers/9")).status, 200);
}

void LocalBackendTest::signsReplies_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("secret");
    QTest::addColumn<Fault::Signing>("signing");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("signedForm");
    QTest::addColumn<QString>("verifyingSecret"); // empty: the signature must not verify

    using S = Fault::Signing;
    QTest::newRow("configured, success") << true << "s3cret" << S::AsConfigured << 200 << true << "s3cret";
    QTest::newRow("configured, other 2xx") << true << "s3cret" << S::AsConfigured << 201 << true << "s3cret";
    QTest::newRow("configured, error stays plain") << true << "s3cret" << S::AsConfigured << 400 << false << "";
    QTest::newRow("enabled without secret") << true << "" << S::AsConfigured << 200 << false << "";
    QTest::newRow("disabled") << false << "s3cret" << S::AsConfigured << 200 << false << "";
    QTest::newRow("forced, configured secret") << true << "s3cret" << S::Valid << 500 << true << "s3cret";
    QTest::newRow("forced, no secret") << false << "" << S::Valid << 404 << true << "local-secret";
    QTest::newRow("invalid") << true << "s3cret" << S::Invalid << 200 << true << "";
    QTest::newRow("invalid, no secret") << false << "" << S::Invalid << 200 << true << "";
}

void LocalBackendTest::signsReplies()
{
    QFETCH(bool, enabled);
    QFETCH(QString, secret);
    QFETCH(Fault::Signing, signing);
    QFETCH(int, status);
    QFETCH(bool, signedForm);
    QFETCH(QString, verifyingSecret);

    const QJsonObject original{{"success", true}, {"message", "获取成功"}, {"data", QJsonObject{{"id", 7}}}};
    m_server->route("GET", "/api/v1/auth/me", [&](const RecordedRequest &) { return Reply::json(original, status); });
    m_server->setSigning(enabled, secret);
    Fault fault;
    fault.signing = signing;
    m_server->setFault("GET", "/api/v1/auth/me", fault);

    const Outcome outcome = exchange(*m_nam, to(*m_server, "auth/me"));
    QVERIFY(outcome.finished);
    QCOMPARE(outcome.status, status);
    if (!signedForm) {
        QCOMPARE(outcome.json(), original);
        return;
    }
    const QJsonObject form = outcome.json();
    QCOMPARE(form.value("encrypted"), QJsonValue(true));
    const QByteArray data = form.value("data").toString().toUtf8();
    const QByteArray signature = form.value("signature").toString().toUtf8();
    QCOMPARE(QJsonDocument::fromJson(QByteArray::fromBase64(data)).object(), original);
    QVERIFY2(QRegularExpression("^[0-9a-f]{32}$").match(QString::fromUtf8(signature)).hasMatch(), signature);
    if (verifyingSecret.isEmpty()) {
        QVERIFY(signature != md5Hex(data + secret.toUtf8()));
        QVERIFY(signature != md5Hex(data + "local-secret"));
    } else {
        QCOMPARE(signature, md5Hex(data + verifyingSecret.toUtf8()));
    }
}

void LocalBackendTest::httpsNeedsTheCertificateTrusted_data()
{
    QTest::addColumn<bool>("trusted");
    QTest::newRow("certificate trusted as CA") << true;
    QTest::newRow("certificate unknown") << false;
}

void LocalBackendTest::httpsNeedsTheCertificateTrusted()
{
    QFETCH(bool, trusted);
    LocalBackendServer server;
    QVERIFY(server.listenTls(m_certificate->certificate(), m_certificate->key()));
    QVERIFY(server.isTls());
    QCOMPARE(server.baseUrl(), QUrl(QStringLiteral("https://127.0.0.1:%1/api/v1/").arg(server.port())));
    server.route("GET", "/api/v1/configs", [](const RecordedRequest &) { return Reply::json({{"success", true}}); });

    QNetworkRequest request = to(server, "configs");
    if (trusted) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificates({m_certificate->certificate()});
        request.setSslConfiguration(tls);
    }
    const Outcome outcome = exchange(*m_nam, request);
    QVERIFY(outcome.finished);
    if (trusted) {
        QCOMPARE(outcome.error, QNetworkReply::NoError);
        QCOMPARE(outcome.status, 200);
        QCOMPARE(outcome.json().value("success").toBool(), true);
        QCOMPARE(outcome.sslErrors, 0);
    } else {
        QCOMPARE(outcome.error, QNetworkReply::SslHandshakeFailedError);
        QVERIFY(outcome.sslErrors > 0);
        QCOMPARE(outcome.status, 0);
    }
}

void LocalBackendTest::apiRoutesServeTheBuiltInConfigs()
{
    ApiRoutes routes(*m_server);
    const Outcome outcome = exchange(*m_nam, to(*m_server, "configs"));
    QCOMPARE(outcome.status, 200);
    const QJsonObject reply = outcome.json();
    QCOMPARE(reply.value("success"), QJsonValue(true));
    QCOMPARE(reply.value("message").toString(), QString("获取成功"));

    const QMap<QString, QString> typeOfKey{
        {"app_name", "string"}, {"app_version", "string"}, {"site_name", "string"},
        {"free_trial_enabled", "boolean"}, {"free_trial_duration", "number"},
        {"free_trial_max_count", "number"}, {"vip_trial_enabled", "boolean"},
        {"vip_trial_duration", "number"}, {"maintenance_mode", "boolean"},
        {"enable_registration", "boolean"}, {"max_devices", "number"}, {"free_max_devices", "number"},
        {"vpn_encrypt_enabled", "boolean"}, {"vpn_encrypt_key", "string"},
        {"api_encrypt_enabled", "boolean"}, {"api_secret_key", "string"},
        {"tls_cert_pinning_enabled", "boolean"}, {"tls_cert_fingerprints", "string"},
        {"download_file_android", "string"}, {"download_file_ios", "string"},
        {"download_file_windows", "string"}, {"download_file_macos", "string"}};
    for (auto it = typeOfKey.cbegin(); it != typeOfKey.cend(); ++it) {
        const QJsonObject item = configItem(reply, it.key());
        QVERIFY2(item.contains("value") && item.value("name").isString()
                     && item.value("description").isString(), qPrintable(it.key()));
        QCOMPARE(item.value("type").toString(), it.value());
    }
    QCOMPARE(configItem(reply, "app_name").value("value").toString(), QString("Norvane加速器"));
    QCOMPARE(configItem(reply, "site_name").value("value").toString(), QString("Norvane VPN"));
    QCOMPARE(configItem(reply, "max_devices").value("value").toInt(), 3);
    QCOMPARE(configItem(reply, "free_max_devices").value("value").toInt(), 1);
    QCOMPARE(configItem(reply, "free_trial_enabled").value("value"), QJsonValue(true));
    QCOMPARE(configItem(reply, "free_trial_duration").value("value").toInt(), 2);
    QCOMPARE(configItem(reply, "api_encrypt_enabled").value("value"), QJsonValue(false));
}

void LocalBackendTest::apiRoutesSignWhenTheConfigurationSaysSo()
{
    ApiRoutes routes(*m_server);
    QVERIFY(routes.setConfigValue("api_secret_key", "k-9"));
    QCOMPARE(exchange(*m_nam, to(*m_server, "configs")).json().value("success"), QJsonValue(true));

    QVERIFY(routes.setConfigValue("api_encrypt_enabled", true));
    const QJsonObject form = exchange(*m_nam, to(*m_server, "configs")).json();
    QCOMPARE(form.value("encrypted"), QJsonValue(true));
    const QByteArray data = form.value("data").toString().toUtf8();
    QCOMPARE(form.value("signature").toString().toUtf8(), md5Hex(data + "k-9"));
    const QJsonObject decoded = QJsonDocument::fromJson(QByteArray::fromBase64(data)).object();
    QCOMPARE(configItem(decoded, "api_encrypt_enabled").value("value"), QJsonValue(true));

    // Errors stay plain, and an empty secret switches signing off again.
    QCOMPARE(exchange(*m_nam, to(*m_server, "nothing")).json().value("message").toString(), QString("Not Found"));
    QVERIFY(routes.setConfigValue("api_secret_key", ""));
    QCOMPARE(exchange(*m_nam, to(*m_server, "configs")).json().value("success"), QJsonValue(true));
}

void LocalBackendTest::apiRoutesRefuseMalformedSeeds_data()
{
    QTest::addColumn<QByteArray>("seed");
    QTest::addColumn<QString>("problem");

    QTest::newRow("not JSON") << QByteArray("{\"configs\": {") << "seed: not valid JSON";
    QTest::newRow("not an object") << QByteArray("[]") << "seed: not a JSON object";
    QTest::newRow("no configs") << QByteArray("{}") << "seed: no \"configs\" section";
    QTest::newRow("configs not an object") << QByteArray(R"({"configs": []})")
                                           << "seed: section \"configs\" is not an object";
    QTest::newRow("unknown section") << QByteArray(R"({"configs": {}, "servrs": {}})")
                                     << "seed: unknown section \"servrs\"";
    QTest::newRow("item not an object") << QByteArray(R"({"configs": {"app_name": "x"}})")
                                        << "seed: configuration item \"app_name\" is not an object";
    QTest::newRow("value of the wrong type")
        << QByteArray(R"({"configs": {"max_devices": {"value": "3", "type": "number"}}})")
        << "seed: configuration item \"max_devices\" value is not a number";
    QTest::newRow("unknown type")
        << QByteArray(R"({"configs": {"maintenance_mode": {"value": true, "type": "Boolean"}}})")
        << "type \"Boolean\" is not boolean, number, string or json";
    QTest::newRow("no value") << QByteArray(R"({"configs": {"app_name": {"type": "string"}}})")
                              << "seed: configuration item \"app_name\" has no \"value\"";
    QTest::newRow("name not text")
        << QByteArray(R"({"configs": {"app_name": {"value": "x", "name": 1, "type": "string"}}})")
        << "seed: configuration item \"app_name\" has a \"name\" that is not a string";
}

void LocalBackendTest::apiRoutesRefuseMalformedSeeds()
{
    QFETCH(QByteArray, seed);
    QFETCH(QString, problem);
    ApiRoutes routes(*m_server);
    const QJsonObject before = routes.configs();

    LogCapture log;
    QString error;
    QVERIFY(!routes.loadSeed(seed, &error));
    QVERIFY2(error.contains(problem), qPrintable(error));
    QVERIFY(log.contains(problem));
    QCOMPARE(routes.configs(), before);
}

void LocalBackendTest::apiRoutesRefuseBadConfigValues_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<QString>("problem");
    QTest::newRow("unknown key") << "max_device" << QJsonValue(4) << "no configuration item \"max_device\"";
    QTest::newRow("wrong type") << "api_encrypt_enabled" << QJsonValue("yes") << "value is not a boolean";
}

void LocalBackendTest::apiRoutesRefuseBadConfigValues()
{
    QFETCH(QString, key);
    QFETCH(QJsonValue, value);
    QFETCH(QString, problem);
    ApiRoutes routes(*m_server);
    const QJsonObject before = routes.configs();

    QString error;
    QVERIFY(!routes.setConfigValue(key, value, &error));
    QVERIFY2(error.contains(problem), qPrintable(error));
    QCOMPARE(routes.configs(), before);
}

void LocalBackendTest::programServesConfigsFromItsSeed()
{
    QVERIFY2(!backendProgram().isEmpty(), "NORVANE_LOCAL_BACKEND must name the norvane-local-backend program");
    const QString seed = writeFile("seed-good.json", R"({
        "configs": {
            "app_name": {"value": "种子后端", "name": "应用名称", "description": "", "type": "string"},
            "max_devices": {"value": 9, "name": "最大设备数", "description": "", "type": "number"}
        }
    })");
    BackendProcess backend({"--seed", seed});
    const QUrl base = backend.waitForListening();
    QVERIFY2(base.isValid() && !base.isEmpty(), qPrintable(backend.line()));
    QCOMPARE(base.scheme(), QString("http"));

    const Outcome outcome = exchange(*m_nam, QNetworkRequest(base.resolved(QUrl("configs"))));
    QCOMPARE(outcome.status, 200);
    QCOMPARE(configItem(outcome.json(), "app_name").value("value").toString(), QString("种子后端"));
    QCOMPARE(configItem(outcome.json(), "max_devices").value("value").toInt(), 9);
    QVERIFY(!outcome.json().value("data").toObject().contains("site_name"));

    QVERIFY(backend.terminate());
    QCOMPARE(backend.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(backend.process().exitCode(), 0);
    QVERIFY(backend.process().readAllStandardError().contains("GET /api/v1/configs"));
}

void LocalBackendTest::programServesHttps()
{
    QVERIFY2(!backendProgram().isEmpty(), "NORVANE_LOCAL_BACKEND must name the norvane-local-backend program");
    BackendProcess backend({"--tls-cert", m_certificate->certificatePath(),
                            "--tls-key", m_certificate->keyPath()});
    const QUrl base = backend.waitForListening();
    QCOMPARE(base.scheme(), QString("https"));

    QNetworkRequest request(base.resolved(QUrl("configs")));
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.addCaCertificates({m_certificate->certificate()});
    request.setSslConfiguration(tls);
    const Outcome outcome = exchange(*m_nam, request);
    QCOMPARE(outcome.error, QNetworkReply::NoError);
    QCOMPARE(configItem(outcome.json(), "app_name").value("value").toString(), QString("Norvane加速器"));
}

void LocalBackendTest::programRefusesABadStart_data()
{
    QTest::addColumn<QStringList>("arguments"); // "{port}" stands for a port already taken
    QTest::addColumn<QString>("message");

    const QString malformed = writeFile("seed-malformed.json", R"({"configs": {"app_name": )");
    const QString notPem = writeFile("not-pem.txt", "hello");
    QTest::newRow("malformed seed") << QStringList{"--seed", malformed} << "seed-malformed.json: not valid JSON";
    QTest::newRow("missing seed") << QStringList{"--seed", m_files.filePath("absent.json")}
                                  << "cannot read seed file";
    QTest::newRow("port out of range") << QStringList{"--port", "70000"} << "--port needs a number";
    QTest::newRow("port taken") << QStringList{"--port", "{port}"} << "cannot listen on 127.0.0.1 port";
    QTest::newRow("certificate without key") << QStringList{"--tls-cert", notPem} << "go together";
    QTest::newRow("certificate not PEM") << QStringList{"--tls-cert", notPem, "--tls-key", notPem}
                                         << "holds no PEM certificate";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << "bogus";
    QTest::newRow("stray argument") << QStringList{"extra"} << "unexpected argument: extra";
}

void LocalBackendTest::programRefusesABadStart()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    QVERIFY2(!backendProgram().isEmpty(), "NORVANE_LOCAL_BACKEND must name the norvane-local-backend program");
    arguments.replaceInStrings("{port}", QString::number(m_server->port()));

    BackendProcess backend(arguments);
    QVERIFY(backend.waitForExit());
    QCOMPARE(backend.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(backend.process().exitCode(), 1);
    QVERIFY(backend.process().readAllStandardOutput().isEmpty());
    const QString errors = QString::fromUtf8(backend.process().readAllStandardError());
    QVERIFY2(errors.contains(message), qPrintable(errors));
}

QTEST_GUILESS_MAIN(LocalBackendTest)
#include "tst_localbackend.moc"
