#include "api/network/HttpClient.h"
#include "api/services/OrderService.h"
#include "support/BackendTestRig.h"
#include "support/LogCapture.h"
#include "support/Outcome.h"

#include <QJsonArray>
#include <QTest>

using Norvane::Api::Models::Order;
using Norvane::Api::Models::OrderListResponse;
using Norvane::Api::Models::PaginationMeta;
using Norvane::Api::Network::HttpClient;
using Norvane::Api::Services::OrderService;
using Norvane::LocalBackend::RecordedRequest;
using Norvane::LocalBackend::Reply;

namespace {

OrderService *service()
{
    return OrderService::instance();
}

QList<int> idsOf(const QList<Order> &orders)
{
    QList<int> ids;
    for (const Order &order : orders)
        ids << order.id;
    return ids;
}

QList<int> figures(const PaginationMeta &meta)
{
    return {meta.currentPage, meta.from, meta.lastPage, meta.perPage, meta.to, meta.total};
}

const QList<int> kDefaultFigures{1, 0, 1, 20, 0, 0};

// A page of orders with the given ids; "meta" says it is page `page` of 3.
QJsonObject pageReply(int page, const QList<int> &ids)
{
    QJsonArray data;
    for (int id : ids)
        data << QJsonObject{{"id", id}, {"order_number", QStringLiteral("NO%1").arg(id)}, {"paid_at", QJsonValue::Null}};
    const QJsonObject meta{{"current_page", page}, {"from", 1}, {"last_page", 3},
                           {"per_page", 20},       {"to", 20},  {"total", 55}};
    const QJsonObject links{{"first", "f"}, {"last", "l"}, {"prev", QJsonValue::Null}, {"next", "n"}};
    return {{"success", true}, {"data", data}, {"meta", meta}, {"links", links}};
}

} // namespace

class OrderServiceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void requests_data();
    void requests();
    void allOrdersIsOneRequestForTheFirstHundred();
    void pagesAppendAndPageOneReplaces();
    void laterPageFirstAppendsToEmptyCache();
    void replyWithoutMetaResetsFigures();
    void failures_data();
    void failures();
    void successWithoutDataArray_data();
    void successWithoutDataArray();
    void clearCacheResetsAndLogs();

private:
    Outcome<OrderListResponse> fetch(int page, int perPage = 20);

    BackendTestRig m_rig;
    QHash<int, QJsonObject> m_pages;
    QStringList m_events;
};

void OrderServiceTest::initTestCase()
{
    QVERIFY(m_rig.start());
    m_rig.backend().route("GET", "/api/v1/orders", [this](const RecordedRequest &request) {
        return Reply::json(m_pages.value(request.query.queryItemValue("page").toInt(), pageReply(0, {})));
    });

    connect(service(), &OrderService::ordersUpdated, this, [this](const QList<Order> &orders) {
        QStringList ids;
        for (int id : idsOf(orders))
            ids << QString::number(id);
        m_events << "ordersUpdated:" + ids.join(',');
    });
}

void OrderServiceTest::init()
{
    m_rig.reset();
    HttpClient::instance()->clearAuthToken();
    m_pages.clear();
    service()->clearCache();
    m_events.clear();
}

Outcome<OrderListResponse> OrderServiceTest::fetch(int page, int perPage)
{
    Outcome<OrderListResponse> outcome;
    service()->getOrders(page, perPage, outcome.callback(&m_events));
    if (!outcome.wait())
        qWarning() << "no completion for page" << page;
    QTest::qWait(20);
    return outcome;
}

void OrderServiceTest::requests_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("perPage");
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("query");

    QTest::newRow("page 2 of 15, logged in") << 2 << 15 << "tok-o" << "page=2&per_page=15";
    QTest::newRow("logged out") << 1 << 20 << "" << "page=1&per_page=20";
    QTest::newRow("zero values still sent") << 0 << 0 << "tok-o" << "page=0&per_page=0";
}

void OrderServiceTest::requests()
{
    QFETCH(int, page);
    QFETCH(int, perPage);
    QFETCH(QString, token);
    QFETCH(QString, query);

    if (!token.isEmpty())
        HttpClient::instance()->setAuthToken(token);
    const Outcome<OrderListResponse> outcome = fetch(page, perPage);
    QCOMPARE(outcome.calls, 1);

    const QList<RecordedRequest> requests = m_rig.backend().requests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().method, QByteArray("GET"));
    QCOMPARE(requests.first().path, QStringLiteral("/api/v1/orders"));
    QCOMPARE(requests.first().query.toString(), query);
    QCOMPARE(requests.first().header("Authorization"), token.isEmpty() ? QByteArray() : "Bearer " + token.toUtf8());
    QCOMPARE(requests.first().hasHeader("Authorization"), !token.isEmpty());
}

void OrderServiceTest::allOrdersIsOneRequestForTheFirstHundred()
{
    m_pages.insert(1, pageReply(1, {11, 12}));
    m_pages.insert(2, pageReply(2, {13}));

    Outcome<QList<Order>> outcome;
    service()->getAllOrders(outcome.callback(&m_events));
    QVERIFY(outcome.wait());
    QTest::qWait(50);

    QCOMPARE(outcome.calls, 1);
    QVERIFY(outcome.success);
    QCOMPARE(outcome.message, QStringLiteral("获取成功"));
    QCOMPARE(idsOf(outcome.result), QList<int>({11, 12}));
    QCOMPARE(m_rig.backend().requests().size(), 1); // "last_page" 3 brings no second request
    QCOMPARE(m_rig.backend().requests().first().query.toString(), QStringLiteral("page=1&per_page=100"));
    QCOMPARE(m_events, QStringList({"callback", "ordersUpdated:11,12"}));
}

void OrderServiceTest::pagesAppendAndPageOneReplaces()
{
    m_pages.insert(1, pageReply(1, {1, 2, 3}));
    m_pages.insert(2, pageReply(2, {4, 5}));

    Outcome<OrderListResponse> first = fetch(1);
    QVERIFY(first.success);
    QCOMPARE(idsOf(first.result.orders), QList<int>({1, 2, 3}));
    QVERIFY(first.result.success);
    QCOMPARE(first.result.links.next, QStringLiteral("n"));
    QVERIFY(!first.result.orders.first().paidAt.isValid());

    const Outcome<OrderListResponse> second = fetch(2);
    QCOMPARE(idsOf(second.result.orders), QList<int>({4, 5})); // the completion sees only its page
    QCOMPARE(idsOf(service()->cachedOrders()), QList<int>({1, 2, 3, 4, 5}));
    QCOMPARE(figures(service()->pagination()), QList<int>({2, 1, 3, 20, 20, 55}));

    // The requested page decides: a page-1 request replaces even if the reply claims page 2.
    m_pages.insert(1, pageReply(2, {1, 2, 3}));
    fetch(1);
    QCOMPARE(idsOf(service()->cachedOrders()), QList<int>({1, 2, 3}));

    QCOMPARE(m_events, QStringList({"callback", "ordersUpdated:1,2,3", "callback", "ordersUpdated:1,2,3,4,5",
                                    "callback", "ordersUpdated:1,2,3"}));
}

void OrderServiceTest::laterPageFirstAppendsToEmptyCache()
{
    m_pages.insert(1, pageReply(1, {1}));
    m_pages.insert(3, pageReply(3, {7, 8}));
    fetch(1);
    service()->clearCache();
    m_events.clear();

    fetch(3);
    fetch(3); // nothing checks pages for duplicates
    QCOMPARE(idsOf(service()->cachedOrders()), QList<int>({7, 8, 7, 8}));
    QCOMPARE(m_events, QStringList({"callback", "ordersUpdated:7,8", "callback", "ordersUpdated:7,8,7,8"}));
}

void OrderServiceTest::replyWithoutMetaResetsFigures()
{
    m_pages.insert(1, pageReply(1, {1}));
    fetch(1);
    QCOMPARE(figures(service()->pagination()), QList<int>({1, 1, 3, 20, 20, 55}));

    m_pages.insert(2, {{"success", true}, {"data", QJsonArray{QJsonObject{{"id", 2}}}}});
    const Outcome<OrderListResponse> outcome = fetch(2);
    QVERIFY(outcome.success);
    QCOMPARE(figures(outcome.result.meta), kDefaultFigures);
    QCOMPARE(figures(service()->pagination()), kDefaultFigures);
    QCOMPARE(idsOf(service()->cachedOrders()), QList<int>({1, 2}));
}

void OrderServiceTest::failures_data()
{
    QTest::addColumn<bool>("refused");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("message");

    QTest::newRow("success false") << false << 200
                                   << QByteArray(R"({"success":false,"message":"查询失败","data":[{"id":9}]})")
                                   << "查询失败";
    QTest::newRow("http 401") << false << 401 << QByteArray(R"({"message":"Unauthenticated."})")
                              << "Unauthenticated.";
    QTest::newRow("http 422 errors") << false << 422 << QByteArray(R"({"errors":{"per_page":["每页数量无效"]}})")
                                     << "每页数量无效";
    QTest::newRow("http 500 html") << false << 500 << QByteArray("<html/>") << "";
    QTest::newRow("transport error") << true << 0 << QByteArray() << "";
}

void OrderServiceTest::failures()
{
    QFETCH(bool, refused);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, message);

    m_pages.insert(1, pageReply(1, {1, 2}));
    fetch(1);
    m_events.clear();
    m_rig.fail("GET", "/api/v1/orders", refused, status, body);

    const Outcome<OrderListResponse> outcome = fetch(1);
    QCOMPARE(outcome.calls, 1);
    QVERIFY(!outcome.success);
    if (refused)
        QVERIFY(!outcome.message.isEmpty());
    else
        QCOMPARE(outcome.message, message);
    QVERIFY(!outcome.result.success);
    QVERIFY(outcome.result.orders.isEmpty());
    QCOMPARE(figures(outcome.result.meta), kDefaultFigures);
    QCOMPARE(m_events, QStringList({"callback"}));
    QCOMPARE(idsOf(service()->cachedOrders()), QList<int>({1, 2}));
    QCOMPARE(figures(service()->pagination()), QList<int>({1, 1, 3, 20, 20, 55}));
}

void OrderServiceTest::successWithoutDataArray_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QList<int>>("cache");

    QTest::newRow("page 1, data object") << 1 << QByteArray(R"({"success":true,"data":{"id":5}})") << QList<int>{};
    QTest::newRow("page 1, array body") << 1 << QByteArray("[1]") << QList<int>{};
    QTest::newRow("page 2, not json") << 2 << QByteArray("done") << QList<int>{1, 2};
}

void OrderServiceTest::successWithoutDataArray()
{
    QFETCH(int, page);
    QFETCH(QByteArray, body);
    QFETCH(QList<int>, cache);

    m_pages.insert(1, pageReply(1, {1, 2}));
    fetch(1);
    m_events.clear();
    m_rig.replaceBody("GET", "/api/v1/orders", body);

    const Outcome<OrderListResponse> outcome = fetch(page);
    QCOMPARE(outcome.calls, 1);
    QVERIFY(outcome.success);
    QCOMPARE(outcome.message, QStringLiteral("获取成功"));
    QVERIFY(outcome.result.orders.isEmpty());
    QCOMPARE(idsOf(service()->cachedOrders()), cache);
    QCOMPARE(figures(service()->pagination()), kDefaultFigures);
    QCOMPARE(m_events.size(), 2);
    QCOMPARE(m_events.first(), QStringLiteral("callback"));
}

void OrderServiceTest::clearCacheResetsAndLogs()
{
    m_pages.insert(2, pageReply(2, {4}));
    fetch(2);
    QCOMPARE(figures(service()->pagination()), QList<int>({2, 1, 3, 20, 20, 55}));
    m_events.clear();

    LogCapture log;
    service()->clearCache();
    QVERIFY(service()->cachedOrders().isEmpty());
    QCOMPARE(figures(service()->pagination()), kDefaultFigures);
    QVERIFY(log.contains("[OrderService] 订单缓存已清除"));
    QVERIFY(m_events.isEmpty());
}

QTEST_GUILESS_MAIN(OrderServiceTest)
#include "tst_orderservice.moc"
