#include "api/models/CreatePaymentData.h"
#include "api/models/PaymentStatusData.h"
#include "api/models/SubscriptionPlan.h"
#include "api/network/HttpClient.h"
#include "api/security/TokenManager.h"
#include "api/services/PaymentService.h"
#include "support/BackendTestRig.h"
#include "support/LogCapture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QUrl>

using Norvane::Api::Models::CreatePaymentData;
using Norvane::Api::Models::PaymentStatusData;
using Norvane::Api::Models::SubscriptionPlan;
using Norvane::Api::Network::HttpClient;
using Norvane::Api::Security::TokenManager;
using Norvane::Api::Services::PaymentService;
using Norvane::LocalBackend::RecordedRequest;
using Norvane::LocalBackend::Reply;

namespace {

PaymentService *service()
{
    return PaymentService::instance();
}

QJsonObject parse(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).object();
}

// What one completion of the service received.
struct Outcome
{
    bool called = false;
    bool success = false;
    QString message;
};

} // namespace

class PaymentServiceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void planParsing_data();
    void planParsing();
    void recordsKeepDefaultsForMistypedValues();

    void plansRequestHasNoAuthorization();
    void plansReply_data();
    void plansReply();
    void failures_data();
    void failures();

    void createRequest_data();
    void createRequest();
    void createSuccess_data();
    void createSuccess();
    void createWithoutOrderIdFails_data();
    void createWithoutOrderIdFails();

    void statusPathIsOneSegment_data();
    void statusPathIsOneSegment();
    void statusRequestLine_data();
    void statusRequestLine();
    void dotOrderNumberIsRefused_data();
    void dotOrderNumberIsRefused();
    void statusReply_data();
    void statusReply();

private:
    BackendTestRig m_rig;
    QJsonObject m_plansReply;
    QJsonObject m_createReply;
    QJsonObject m_statusReply;
    QStringList m_events;
};

void PaymentServiceTest::initTestCase()
{
    QVERIFY(m_rig.start());
    m_rig.backend().route("GET", "/api/v1/plans",
                          [this](const RecordedRequest &) { return Reply::json(m_plansReply); });
    m_rig.backend().route("POST", "/api/v1/payments/create",
                          [this](const RecordedRequest &) { return Reply::json(m_createReply); });
    m_rig.backend().route("GET", "/api/v1/payments/status/{}",
                          [this](const RecordedRequest &) { return Reply::json(m_statusReply); });

    connect(service(), &PaymentService::plansUpdated, this, [this](const QList<SubscriptionPlan> &plans) {
        m_events << QStringLiteral("plansUpdated %1").arg(plans.size());
    });
    connect(service(), &PaymentService::paymentCreated, this,
            [this](const CreatePaymentData &data) { m_events << QStringLiteral("paymentCreated ") + data.orderId; });
    connect(service(), &PaymentService::paymentStatusUpdated, this,
            [this](const PaymentStatusData &) { m_events << QStringLiteral("paymentStatusUpdated"); });
    connect(service(), &PaymentService::paymentCompleted, this,
            [this](const QString &) { m_events << QStringLiteral("paymentCompleted"); });
    connect(service(), &PaymentService::paymentFailed, this,
            [this](const QString &, const QString &) { m_events << QStringLiteral("paymentFailed"); });
}

void PaymentServiceTest::init()
{
    m_rig.reset();
    HttpClient::instance()->setAuthToken("tok-1");
    m_events.clear();
}

void PaymentServiceTest::planParsing_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("days");
    QTest::addColumn<double>("price");
    QTest::addColumn<bool>("active");
    QTest::addColumn<QString>("formattedPrice");

    QTest::newRow("full") << QByteArray(R"({"id":3,"name":"月卡","days":30,"days_text":"30天","price":19.9,
                                            "currency":"CNY","formatted_price":"¥19.90","is_active":false,
                                            "sort_order":2})")
                          << 3 << 30 << 19.9 << false << "¥19.90";
    QTest::newRow("no is_active means active") << QByteArray(R"({"id":4})") << 4 << 0 << 0.0 << true << "";
    QTest::newRow("mistyped") << QByteArray(R"({"id":"3","days":1.5,"price":"9.9","is_active":"no",
                                                "formatted_price":7})")
                              << 0 << 0 << 0.0 << true << "";
    QTest::newRow("int out of range") << QByteArray(R"({"id":3000000000,"days":-5})") << 0 << -5 << 0.0 << true << "";
}

void PaymentServiceTest::planParsing()
{
    QFETCH(QByteArray, json);
    QFETCH(int, id);
    QFETCH(int, days);
    QFETCH(double, price);
    QFETCH(bool, active);
    QFETCH(QString, formattedPrice);

    const SubscriptionPlan plan = SubscriptionPlan::fromJson(parse(json));
    QCOMPARE(plan.id, id);
    QCOMPARE(plan.days, days);
    QCOMPARE(plan.price, price);
    QCOMPARE(plan.isActive, active);
    QCOMPARE(plan.formattedPrice, formattedPrice);
}

void PaymentServiceTest::recordsKeepDefaultsForMistypedValues()
{
    const CreatePaymentData created =
        CreatePaymentData::fromJson(parse(R"({"order_id":12,"amount":"5","plan_days":2.5,"plan_name":"年卡"})"));
    QVERIFY(created.orderId.isEmpty());
    QCOMPARE(created.amount, 0.0);
    QCOMPARE(created.planDays, 0);
    QCOMPARE(created.planName, QStringLiteral("年卡"));

    const PaymentStatusData status = PaymentStatusData::fromJson(
        parse(R"({"order_id":"O-1","status":true,"amount":12.5,"plan_days":"30","paid_at":null})"));
    QCOMPARE(status.orderId, QStringLiteral("O-1"));
    QVERIFY(status.status.isEmpty());
    QCOMPARE(status.amount, 12.5);
    QCOMPARE(status.planDays, 0);
    QVERIFY(status.paidAt.isEmpty());
}

void PaymentServiceTest::plansRequestHasNoAuthorization()
{
    m_plansReply = {{"success", true}, {"data", QJsonArray()}};
    Outcome outcome;
    service()->getSubscriptionPlans([&](bool success, const QString &, const QList<SubscriptionPlan> &) {
        outcome.called = true;
        outcome.success = success;
    });
    QTRY_VERIFY(outcome.called);
    QVERIFY(outcome.success);

    const QList<RecordedRequest> requests = m_rig.backend().requests("GET", "/api/v1/plans");
    QCOMPARE(requests.size(), 1);
    QVERIFY(!requests.first().hasHeader("Authorization"));
    QVERIFY(requests.first().body.isEmpty());
}

void PaymentServiceTest::plansReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QList<int>>("ids");

    QTest::newRow("objects in order, others skipped")
        << QByteArray(R"({"success":true,"data":[{"id":2},7,{"id":1},"x",null]})") << QList<int>{2, 1};
    QTest::newRow("no success member") << QByteArray(R"({"data":[{"id":5}]})") << QList<int>{5};
    QTest::newRow("no data") << QByteArray(R"({"success":true})") << QList<int>{};
    QTest::newRow("data is an object") << QByteArray(R"({"success":true,"data":{"id":1}})") << QList<int>{};
}

void PaymentServiceTest::plansReply()
{
    QFETCH(QByteArray, reply);
    QFETCH(QList<int>, ids);

    m_plansReply = parse(reply);
    QList<int> received;
    QString message;
    service()->getSubscriptionPlans([&](bool success, const QString &text, const QList<SubscriptionPlan> &plans) {
        QVERIFY(success);
        message = text;
        for (const SubscriptionPlan &plan : plans)
            received << plan.id;
        m_events << QStringLiteral("callback");
    });
    QTRY_COMPARE(m_events.size(), 2);
    QCOMPARE(m_events, (QStringList{"callback", QStringLiteral("plansUpdated %1").arg(ids.size())}));
    QCOMPARE(message, QStringLiteral("获取成功"));
    QCOMPARE(received, ids);
}

void PaymentServiceTest::failures_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("message");

    const QList<QString> operations{"plans", "create", "status"};
    for (const QString &operation : operations) {
        QTest::addRow("%s: HTTP 500 with message", qPrintable(operation))
            << operation << 500 << QByteArray(R"({"success":false,"message":"服务器维护中"})") << "服务器维护中";
        QTest::addRow("%s: success false, errors first", qPrintable(operation))
            << operation << 200 << QByteArray(R"({"success":false,"message":"失败","errors":{"plan_id":["套餐不存在"]}})")
            << "套餐不存在";
        QTest::addRow("%s: HTTP 502 without JSON", qPrintable(operation))
            << operation << 502 << QByteArray("Bad Gateway") << "";
    }
}

void PaymentServiceTest::failures()
{
    QFETCH(QString, operation);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, message);

    m_rig.replaceAnswer(operation == "create" ? "POST" : "GET",
                        operation == "plans"    ? "/api/v1/plans"
                        : operation == "create" ? "/api/v1/payments/create"
                                                : "/api/v1/payments/status/{}",
                        status, body);

    Outcome outcome;
    bool emptyResult = false;
    const auto record = [&](bool success, const QString &text, bool empty) {
        outcome = {true, success, text};
        emptyResult = empty;
    };
    LogCapture log;
    if (operation == "plans") {
        service()->getSubscriptionPlans([&](bool success, const QString &text, const QList<SubscriptionPlan> &plans) {
            record(success, text, plans.isEmpty());
        });
    } else if (operation == "create") {
        service()->createPayment(1, "alipay", [&](bool success, const QString &text, const CreatePaymentData &data) {
            record(success, text, data.orderId.isEmpty() && data.paymentUrl.isEmpty());
        });
    } else {
        service()->getPaymentStatus("O-1", [&](bool success, const QString &text, const PaymentStatusData &data) {
            record(success, text, data.orderId.isEmpty() && data.status.isEmpty());
        });
    }
    QTRY_VERIFY(outcome.called);
    QVERIFY(!outcome.success);
    QCOMPARE(outcome.message, message);
    QVERIFY(emptyResult);
    QTest::qWait(20);
    QVERIFY2(m_events.isEmpty(), qPrintable(m_events.join(", ")));
    if (operation == "plans")
        QVERIFY(log.contains("[PaymentService] 获取套餐列表失败:"));
    else if (operation == "create")
        QVERIFY(log.contains("[PaymentService] 创建支付订单失败:"));
}

void PaymentServiceTest::createRequest_data()
{
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("method");

    QTest::newRow("logged in") << "tok-1" << "alipay";
    QTest::newRow("no token") << "" << "alipay";
    QTest::newRow("method text passed unchanged") << "tok-1" << "微信 Pay/扫码";
}

void PaymentServiceTest::createRequest()
{
    QFETCH(QString, token);
    QFETCH(QString, method);

    if (token.isEmpty())
        HttpClient::instance()->clearAuthToken();
    m_createReply = {{"success", true}, {"data", QJsonObject{{"order_id", "O-1"}}}};
    Outcome outcome;
    service()->createPayment(3, method, [&](bool success, const QString &, const CreatePaymentData &) {
        outcome.called = true;
        outcome.success = success;
    });
    QTRY_VERIFY(outcome.called);
    QVERIFY(outcome.success);

    const QList<RecordedRequest> requests = m_rig.backend().requests("POST", "/api/v1/payments/create");
    QCOMPARE(requests.size(), 1);
    const RecordedRequest &request = requests.first();
    QCOMPARE(request.header("Authorization"), token.isEmpty() ? QByteArray() : ("Bearer " + token).toUtf8());
    QCOMPARE(request.hasHeader("Authorization"), !token.isEmpty());

    const QString deviceId = TokenManager::instance()->getDeviceId();
    QVERIFY(!deviceId.isEmpty());
    const QJsonObject expected{{"plan_id", 3},
                               {"payment_method", method},
                               {"payment_provider", "ciyun"},
                               {"device_id", deviceId},
                               {"equipment", "Norvane加速器"}};
    QCOMPARE(request.body, QJsonDocument(expected).toJson(QJsonDocument::Compact));
    QVERIFY(request.jsonBody().value("plan_id").isDouble());
}

void PaymentServiceTest::createSuccess_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("message");

    const QByteArray data = R"("data":{"order_id":"ORD-9","payment_url":"https://pay.example/qr.png","amount":19.9,
                                       "plan_name":"月卡","plan_days":30})";
    QTest::newRow("without message") << QByteArray("{\"success\":true," + data + "}") << "";
    QTest::newRow("with message") << QByteArray("{\"success\":true,\"message\":\"订单已创建\"," + data + "}")
                                  << "订单已创建";
    QTest::newRow("no success member") << QByteArray("{" + data + "}") << "";
}

void PaymentServiceTest::createSuccess()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, message);

    m_createReply = parse(reply);
    QVERIFY(!m_createReply.isEmpty());
    Outcome outcome;
    CreatePaymentData received;
    LogCapture log;
    service()->createPayment(3, "alipay", [&](bool success, const QString &text, const CreatePaymentData &data) {
        outcome = {true, success, text};
        received = data;
        m_events << QStringLiteral("callback");
    });
    QTRY_COMPARE(m_events.size(), 2);
    QCOMPARE(m_events, (QStringList{"callback", "paymentCreated ORD-9"}));
    QVERIFY(outcome.success);
    QCOMPARE(outcome.message, message);
    QCOMPARE(received.orderId, QStringLiteral("ORD-9"));
    QCOMPARE(received.paymentUrl, QStringLiteral("https://pay.example/qr.png"));
    QCOMPARE(received.amount, 19.9);
    QCOMPARE(received.planName, QStringLiteral("月卡"));
    QCOMPARE(received.planDays, 30);
    QVERIFY(log.contains("[PaymentService] 支付订单创建成功: \"ORD-9\""));
}

void PaymentServiceTest::createWithoutOrderIdFails_data()
{
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("no data") << QByteArray(R"({"success":true,"message":"ok"})");
    QTest::newRow("data is an array") << QByteArray(R"({"success":true,"data":[{"order_id":"O-1"}]})");
    QTest::newRow("no order id") << QByteArray(R"({"success":true,"data":{"payment_url":"https://pay.example/qr"}})");
    QTest::newRow("empty order id") << QByteArray(R"({"success":true,"data":{"order_id":""}})");
    QTest::newRow("numeric order id") << QByteArray(R"({"success":true,"data":{"order_id":123}})");
}

void PaymentServiceTest::createWithoutOrderIdFails()
{
    QFETCH(QByteArray, reply);

    m_createReply = parse(reply);
    Outcome outcome;
    CreatePaymentData received;
    received.paymentUrl = "sentinel";
    LogCapture log;
    service()->createPayment(3, "alipay", [&](bool success, const QString &text, const CreatePaymentData &data) {
        outcome = {true, success, text};
        received = data;
    });
    QTRY_VERIFY(outcome.called);
    QVERIFY(!outcome.success);
    QCOMPARE(outcome.message, QStringLiteral("响应数据无效"));
    QVERIFY(received.paymentUrl.isEmpty());
    QVERIFY(log.contains("[PaymentService] 创建支付订单失败: \"响应数据无效\""));
    QTest::qWait(20);
    QVERIFY(m_events.isEmpty());
}

void PaymentServiceTest::statusPathIsOneSegment_data()
{
    QTest::addColumn<QString>("order");

    QTest::newRow("plain") << "ORD-20240101-001";
    QTest::newRow("slash and question mark") << "a/b?c";
    QTest::newRow("blank and hash") << "x y#z";
    QTest::newRow("percent") << "100%41";
    QTest::newRow("non-ASCII") << "订单1";
}

void PaymentServiceTest::statusPathIsOneSegment()
{
    QFETCH(QString, order);

    m_statusReply = {{"success", true}, {"data", QJsonObject{{"order_id", order}, {"status", "pending"}}}};
    Outcome outcome;
    service()->getPaymentStatus(order, [&](bool success, const QString &text, const PaymentStatusData &) {
        outcome = {true, success, text};
    });
    QTRY_VERIFY(outcome.called);
    QVERIFY2(outcome.success, qPrintable(outcome.message));

    const QList<RecordedRequest> requests = m_rig.backend().requests();
    QCOMPARE(requests.size(), 1);
    const RecordedRequest &request = requests.first();
    QCOMPARE(request.method, QByteArray("GET"));
    QCOMPARE(request.pathArgs, QStringList{order});
    QVERIFY(request.query.isEmpty());
    QCOMPARE(request.header("Authorization"), QByteArray("Bearer tok-1"));
}

void PaymentServiceTest::statusRequestLine_data()
{
    QTest::addColumn<QString>("order");
    QTest::addColumn<QByteArray>("target");

    QTest::newRow("slash and question mark") << "a/b?c" << QByteArray("/api/v1/payments/status/a%2Fb%3Fc");
    QTest::newRow("blank and hash") << "x y#z" << QByteArray("/api/v1/payments/status/x%20y%23z");
    QTest::newRow("percent") << "100%41" << QByteArray("/api/v1/payments/status/100%2541");
}

// The exact request line on the wire, read by a bare socket.
void PaymentServiceTest::statusRequestLine()
{
    QFETCH(QString, order);
    QFETCH(QByteArray, target);

    QTcpServer raw;
    QVERIFY(raw.listen(QHostAddress::LocalHost));
    QByteArray requestLine;
    connect(&raw, &QTcpServer::newConnection, this, [&]() {
        QTcpSocket *socket = raw.nextPendingConnection();
        connect(socket, &QTcpSocket::readyRead, socket, [&requestLine, socket]() {
            if (!socket->canReadLine())
                return;
            requestLine = socket->readLine().trimmed();
            const QByteArray body = R"({"success":true,"data":{"status":"pending"}})";
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n"
                          "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
            socket->disconnectFromHost();
        });
    });
    HttpClient::instance()->setBaseUrl(QStringLiteral("http://127.0.0.1:%1/api/v1/").arg(raw.serverPort()));

    Outcome outcome;
    service()->getPaymentStatus(order, [&](bool success, const QString &text, const PaymentStatusData &) {
        outcome = {true, success, text};
    });
    QTRY_VERIFY(outcome.called);
    QVERIFY2(outcome.success, qPrintable(outcome.message));
    QCOMPARE(requestLine, "GET " + target + " HTTP/1.1");
}

void PaymentServiceTest::dotOrderNumberIsRefused_data()
{
    QTest::addColumn<QString>("order");

    QTest::newRow("dot") << ".";
    QTest::newRow("dot dot") << "..";
}

void PaymentServiceTest::dotOrderNumberIsRefused()
{
    QFETCH(QString, order);

    LogCapture log;
    Outcome outcome;
    PaymentStatusData received;
    received.status = "sentinel";
    service()->getPaymentStatus(order, [&](bool success, const QString &text, const PaymentStatusData &data) {
        outcome = {true, success, text};
        received = data;
    });
    QVERIFY(!outcome.called); // answered from the event loop, as a reply would be
    QTRY_VERIFY(outcome.called);
    QVERIFY(!outcome.success);
    QCOMPARE(outcome.message, QStringLiteral("订单号无效"));
    QVERIFY(received.status.isEmpty());
    QVERIFY(log.contains("[PaymentService] 订单号无效:"));
    QTest::qWait(20);
    QVERIFY(m_rig.backend().requests().isEmpty());
}

void PaymentServiceTest::statusReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("orderId");

    QTest::newRow("unknown word kept") << QByteArray(R"({"success":true,"data":{"order_id":"O-2","status":"Processing",
        "amount":19.9,"plan_name":"月卡","plan_days":30,"payment_method":"alipay","third_party_order_id":"T-7",
        "created_at":"2024-01-01T10:00:00Z","paid_at":"2024-01-01T10:05:00Z"}})")
                                       << "Processing" << "O-2";
    // Only polling acts on terminal words; a single query just reports them.
    QTest::newRow("terminal word") << QByteArray(R"({"success":true,"data":{"order_id":"O-3","status":"completed"}})")
                                   << "completed" << "O-3";
    QTest::newRow("no data") << QByteArray(R"({"success":true})") << "" << "";
}

void PaymentServiceTest::statusReply()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, status);
    QFETCH(QString, orderId);

    m_statusReply = parse(reply);
    Outcome outcome;
    PaymentStatusData received;
    service()->getPaymentStatus("O-2", [&](bool success, const QString &text, const PaymentStatusData &data) {
        outcome = {true, success, text};
        received = data;
    });
    QTRY_VERIFY(outcome.called);
    QVERIFY(outcome.success);
    QCOMPARE(outcome.message, QStringLiteral("查询成功"));
    QCOMPARE(received.status, status);
    QCOMPARE(received.orderId, orderId);
    if (QTest::currentDataTag() == QByteArray("unknown word kept")) {
        QCOMPARE(received.amount, 19.9);
        QCOMPARE(received.planName, QStringLiteral("月卡"));
        QCOMPARE(received.planDays, 30);
        QCOMPARE(received.paymentMethod, QStringLiteral("alipay"));
        QCOMPARE(received.thirdPartyOrderId, QStringLiteral("T-7"));
        QCOMPARE(received.createdAt, QStringLiteral("2024-01-01T10:00:00Z"));
        QCOMPARE(received.paidAt, QStringLiteral("2024-01-01T10:05:00Z"));
    }
    QTest::qWait(20);
    QVERIFY(m_events.isEmpty());
    QVERIFY(!service()->isPolling());
}

QTEST_GUILESS_MAIN(PaymentServiceTest)
#include "tst_paymentservice.moc"
