#include "api/models/Announcement.h"
#include "api/models/Order.h"
#include "api/models/OrderListResponse.h"
#include "api/models/Server.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using Norvane::Api::Models::Announcement;
using Norvane::Api::Models::Order;
using Norvane::Api::Models::OrderListResponse;
using Norvane::Api::Models::PaginationMeta;
using Norvane::Api::Models::Server;

namespace {

// The member that each JSON key fills, so one table can check every key of a record.
QVariant serverField(const Server &s, const QString &key)
{
    static const QHash<QString, std::function<QVariant(const Server &)>> fields{
        {"id", [](const Server &v) { return QVariant(v.id); }},
        {"name", [](const Server &v) { return QVariant(v.name); }},
        {"app_name", [](const Server &v) { return QVariant(v.appName); }},
        {"country_code", [](const Server &v) { return QVariant(v.countryCode); }},
        {"city", [](const Server &v) { return QVariant(v.city); }},
        {"location", [](const Server &v) { return QVariant(v.location); }},
        {"hostname", [](const Server &v) { return QVariant(v.hostname); }},
        {"host", [](const Server &v) { return QVariant(v.host); }},
        {"ip_address", [](const Server &v) { return QVariant(v.ipAddress); }},
        {"protocol", [](const Server &v) { return QVariant(v.protocol); }},
        {"port", [](const Server &v) { return QVariant(v.port); }},
        {"transport", [](const Server &v) { return QVariant(v.transport); }},
        {"tls_enabled", [](const Server &v) { return QVariant(v.tlsEnabled); }},
        {"sni", [](const Server &v) { return QVariant(v.sni); }},
        {"status", [](const Server &v) { return QVariant(v.status); }},
        {"is_enabled", [](const Server &v) { return QVariant(v.isEnabled); }},
        {"tier", [](const Server &v) { return QVariant(v.tier); }},
        {"tier_text", [](const Server &v) { return QVariant(v.tierText); }},
        {"requires_vip", [](const Server &v) { return QVariant(v.requiresVip); }},
        {"can_connect", [](const Server &v) { return QVariant(v.canConnect); }},
        {"max_users", [](const Server &v) { return QVariant(v.maxUsers); }},
        {"current_users", [](const Server &v) { return QVariant(v.currentUsers); }},
        {"cpu_usage", [](const Server &v) { return QVariant(v.cpuUsage); }},
        {"latitude", [](const Server &v) { return QVariant(v.latitude); }},
        {"longitude", [](const Server &v) { return QVariant(v.longitude); }},
        {"vmess_link", [](const Server &v) { return QVariant(v.vmessLink); }},
        {"created_at", [](const Server &v) { return QVariant(v.createdAt); }},
        {"updated_at", [](const Server &v) { return QVariant(v.updatedAt); }},
    };
    return fields.value(key)(s);
}

QVariant orderField(const Order &o, const QString &key)
{
    static const QHash<QString, std::function<QVariant(const Order &)>> fields{
        {"id", [](const Order &v) { return QVariant(v.id); }},
        {"order_number", [](const Order &v) { return QVariant(v.orderNumber); }},
        {"plan_name", [](const Order &v) { return QVariant(v.planName); }},
        {"plan_days", [](const Order &v) { return QVariant(v.planDays); }},
        {"amount", [](const Order &v) { return QVariant(v.amount); }},
        {"payment_currency", [](const Order &v) { return QVariant(v.paymentCurrency); }},
        {"payment_method", [](const Order &v) { return QVariant(v.paymentMethod); }},
        {"payment_method_text", [](const Order &v) { return QVariant(v.paymentMethodText); }},
        {"provider_code", [](const Order &v) { return QVariant(v.providerCode); }},
        {"provider_name", [](const Order &v) { return QVariant(v.providerName); }},
        {"third_party_order_id", [](const Order &v) { return QVariant(v.thirdPartyOrderId); }},
        {"payment_id", [](const Order &v) { return QVariant(v.paymentId); }},
        {"status", [](const Order &v) { return QVariant(v.status); }},
        {"status_text", [](const Order &v) { return QVariant(v.statusText); }},
        {"created_at", [](const Order &v) { return QVariant(v.createdAt); }},
        {"paid_at", [](const Order &v) { return QVariant(v.paidAt); }},
        {"updated_at", [](const Order &v) { return QVariant(v.updatedAt); }},
    };
    return fields.value(key)(o);
}

QVariant announcementField(const Announcement &a, const QString &key)
{
    static const QHash<QString, std::function<QVariant(const Announcement &)>> fields{
        {"id", [](const Announcement &v) { return QVariant(v.id); }},
        {"title", [](const Announcement &v) { return QVariant(v.title); }},
        {"content", [](const Announcement &v) { return QVariant(v.content); }},
        {"type", [](const Announcement &v) { return QVariant(v.type); }},
        {"published_at", [](const Announcement &v) { return QVariant(v.publishedAt); }},
        {"created_at", [](const Announcement &v) { return QVariant(v.createdAt); }},
    };
    return fields.value(key)(a);
}

QJsonValue jsonValue(const char *text)
{
    return QJsonDocument::fromJson(QByteArray("[") + text + "]").array().at(0);
}

QDateTime utc(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

// Columns shared by the per-key tables: a good value and what it parses to, a value of
// another JSON type and the default it must give.
void addFieldColumns()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QJsonValue>("good");
    QTest::addColumn<QVariant>("parsed");
    QTest::addColumn<QJsonValue>("wrong");
    QTest::addColumn<QVariant>("fallback");
}

void addTextRow(const char *key, const char *wrong = "7")
{
    QTest::newRow(key) << key << QJsonValue(QStringLiteral("值-") + key) << QVariant(QStringLiteral("值-") + key)
                       << jsonValue(wrong) << QVariant(QString());
}

template<typename Record>
void checkField(const std::function<QVariant(const Record &, const QString &)> &field)
{
    QFETCH(QString, key);
    QFETCH(QJsonValue, good);
    QFETCH(QVariant, parsed);
    QFETCH(QJsonValue, wrong);
    QFETCH(QVariant, fallback);

    QCOMPARE(field(Record::fromJson({{key, good}}), key), parsed);
    QCOMPARE(field(Record::fromJson({{key, wrong}}), key), fallback);
    QCOMPARE(field(Record::fromJson({{key, QJsonValue::Null}}), key), fallback);
    QCOMPARE(field(Record::fromJson({}), key), fallback);
    QCOMPARE(field(Record(), key), fallback);
}

} // namespace

class CatalogModelsTest : public QObject
{
    Q_OBJECT

private slots:
    void serverFields_data();
    void serverFields();
    void serverArraySkipsNonObjects();
    void announcementFields_data();
    void announcementFields();
    void announcementDates_data();
    void announcementDates();
    void orderFields_data();
    void orderFields();
    void orderArraySkipsNonObjects();
    void orderListResponse_data();
    void orderListResponse();
};

void CatalogModelsTest::serverFields_data()
{
    addFieldColumns();
    QTest::newRow("id") << "id" << QJsonValue(12) << QVariant(12) << jsonValue("\"12\"") << QVariant(0);
    QTest::newRow("id fraction") << "id" << QJsonValue(-3) << QVariant(-3) << jsonValue("1.5") << QVariant(0);
    for (const char *key : {"name", "app_name", "country_code", "city", "location", "hostname", "host",
                            "ip_address", "protocol", "transport", "sni", "status", "tier", "tier_text",
                            "vmess_link"})
        addTextRow(key);
    // Times stay text: no date parsing, no reformatting.
    QTest::newRow("created_at") << "created_at" << QJsonValue("2024-05-01T08:00:00.000000Z")
                                << QVariant("2024-05-01T08:00:00.000000Z") << jsonValue("20240501")
                                << QVariant(QString());
    QTest::newRow("updated_at") << "updated_at" << QJsonValue("昨天") << QVariant("昨天") << jsonValue("{}")
                                << QVariant(QString());
    QTest::newRow("port") << "port" << QJsonValue(8443) << QVariant(8443) << jsonValue("\"8443\"") << QVariant(443);
    QTest::newRow("port out of int range")
        << "port" << QJsonValue(0) << QVariant(0) << jsonValue("3000000000") << QVariant(443);
    QTest::newRow("port fraction") << "port" << QJsonValue(80) << QVariant(80) << jsonValue("80.5") << QVariant(443);
    QTest::newRow("tls_enabled") << "tls_enabled" << QJsonValue(false) << QVariant(false) << jsonValue("\"false\"")
                                 << QVariant(true);
    QTest::newRow("is_enabled") << "is_enabled" << QJsonValue(false) << QVariant(false) << jsonValue("0")
                                << QVariant(true);
    QTest::newRow("requires_vip") << "requires_vip" << QJsonValue(true) << QVariant(true) << jsonValue("1")
                                  << QVariant(false);
    QTest::newRow("can_connect") << "can_connect" << QJsonValue(true) << QVariant(true) << jsonValue("\"true\"")
                                 << QVariant(false);
    QTest::newRow("max_users") << "max_users" << QJsonValue(500) << QVariant(500) << jsonValue("[500]")
                               << QVariant(0);
    QTest::newRow("current_users") << "current_users" << QJsonValue(42) << QVariant(42) << jsonValue("true")
                                   << QVariant(0);
    QTest::newRow("cpu_usage") << "cpu_usage" << QJsonValue(37.5) << QVariant(37.5) << jsonValue("\"37.5\"")
                               << QVariant(0.0);
    QTest::newRow("latitude") << "latitude" << QJsonValue(35.68) << QVariant(35.68) << jsonValue("false")
                              << QVariant(0.0);
    QTest::newRow("longitude") << "longitude" << QJsonValue(-139) << QVariant(-139.0) << jsonValue("\"x\"")
                               << QVariant(0.0);
}

void CatalogModelsTest::serverFields()
{
    checkField<Server>(serverField);
}

void CatalogModelsTest::serverArraySkipsNonObjects()
{
    const QJsonArray array{QJsonObject{{"id", 1}}, 5, "text", QJsonValue::Null, QJsonArray{},
                           QJsonObject{{"id", 2}, {"name", "东京"}}};
    const QList<Server> servers = Server::fromJsonArray(array);
    QCOMPARE(servers.size(), 2);
    QCOMPARE(servers.at(0).id, 1);
    QCOMPARE(servers.at(1).id, 2);
    QCOMPARE(servers.at(1).name, QStringLiteral("东京"));
    QVERIFY(Server::fromJsonArray({}).isEmpty());
}

void CatalogModelsTest::announcementFields_data()
{
    addFieldColumns();
    QTest::newRow("id") << "id" << QJsonValue(9) << QVariant(9) << jsonValue("\"9\"") << QVariant(0);
    QTest::newRow("id fraction") << "id" << QJsonValue(9) << QVariant(9) << jsonValue("9.25") << QVariant(0);
    addTextRow("title");
    addTextRow("content", "{}");
    addTextRow("type", "true");
    QTest::newRow("published_at") << "published_at" << QJsonValue("2024-03-01T10:00:00Z")
                                  << QVariant(utc(2024, 3, 1, 10, 0, 0)) << jsonValue("1709287200")
                                  << QVariant(QDateTime());
    QTest::newRow("created_at") << "created_at" << QJsonValue("2024-02-29T23:59:58Z")
                                << QVariant(utc(2024, 2, 29, 23, 59, 58)) << jsonValue("\"yesterday\"")
                                << QVariant(QDateTime());
}

void CatalogModelsTest::announcementFields()
{
    checkField<Announcement>(announcementField);
}

void CatalogModelsTest::announcementDates_data()
{
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<QDateTime>("expected");

    QTest::newRow("null") << QJsonValue(QJsonValue::Null) << QDateTime();
    QTest::newRow("number") << QJsonValue(1709287200) << QDateTime();
    QTest::newRow("not iso text") << QJsonValue("01.03.2024 10:00") << QDateTime();
    QTest::newRow("empty text") << QJsonValue("") << QDateTime();
    QTest::newRow("utc offset") << QJsonValue("2024-03-01T10:00:00+08:00") << utc(2024, 3, 1, 2, 0, 0);
    QTest::newRow("negative offset") << QJsonValue("2024-03-01T10:00:00-05:30") << utc(2024, 3, 1, 15, 30, 0);
    QTest::newRow("zulu with fraction") << QJsonValue("2024-03-01T10:00:00.250Z")
                                        << utc(2024, 3, 1, 10, 0, 0).addMSecs(250);
}

void CatalogModelsTest::announcementDates()
{
    QFETCH(QJsonValue, value);
    QFETCH(QDateTime, expected);

    const Announcement announcement = Announcement::fromJson({{"published_at", value}, {"created_at", value}});
    QCOMPARE(announcement.publishedAt.isValid(), expected.isValid());
    QCOMPARE(announcement.createdAt.isValid(), expected.isValid());
    if (expected.isValid()) {
        QCOMPARE(announcement.publishedAt.toUTC(), expected);
        QCOMPARE(announcement.createdAt.toUTC(), expected);
    }
}

void CatalogModelsTest::orderFields_data()
{
    addFieldColumns();
    QTest::newRow("id") << "id" << QJsonValue(31) << QVariant(31) << jsonValue("\"31\"") << QVariant(0);
    for (const char *key : {"order_number", "plan_name", "payment_currency", "payment_method",
                            "payment_method_text", "provider_code", "provider_name", "third_party_order_id",
                            "payment_id", "status", "status_text"})
        addTextRow(key);
    QTest::newRow("plan_days") << "plan_days" << QJsonValue(30.0) << QVariant(30) << jsonValue("30.5")
                               << QVariant(0);
    QTest::newRow("amount") << "amount" << QJsonValue(19.99) << QVariant(19.99) << jsonValue("\"19.99\"")
                            << QVariant(0.0);
    QTest::newRow("created_at") << "created_at" << QJsonValue("2024-06-01T12:30:00+02:00")
                                << QVariant(utc(2024, 6, 1, 10, 30, 0)) << jsonValue("17")
                                << QVariant(QDateTime());
    QTest::newRow("paid_at") << "paid_at" << QJsonValue("2024-06-01T12:31:05Z")
                             << QVariant(utc(2024, 6, 1, 12, 31, 5)) << jsonValue("\"未支付\"")
                             << QVariant(QDateTime());
    QTest::newRow("updated_at") << "updated_at" << QJsonValue("2024-06-02T00:00:00Z")
                                << QVariant(utc(2024, 6, 2, 0, 0, 0)) << jsonValue("{}") << QVariant(QDateTime());
}

void CatalogModelsTest::orderFields()
{
    checkField<Order>(orderField);
}

void CatalogModelsTest::orderArraySkipsNonObjects()
{
    const QJsonArray array{7, QJsonObject{{"order_number", "A1"}}, QJsonValue::Null,
                           QJsonObject{{"order_number", "A2"}}, "A3"};
    const QList<Order> orders = Order::fromJsonArray(array);
    QCOMPARE(orders.size(), 2);
    QCOMPARE(orders.at(0).orderNumber, QStringLiteral("A1"));
    QCOMPARE(orders.at(1).orderNumber, QStringLiteral("A2"));
}

void CatalogModelsTest::orderListResponse_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("success");
    QTest::addColumn<int>("orders");
    QTest::addColumn<QList<int>>("meta");
    QTest::addColumn<QStringList>("links");

    const QList<int> defaults{1, 0, 1, 20, 0, 0};
    const QStringList noLinks{"", "", "", ""};

    QTest::newRow("empty object") << QByteArray("{}") << false << 0 << defaults << noLinks;
    QTest::newRow("full page")
        << QByteArray(R"({"success":true,"data":[{"id":1},{"id":2}],
                        "meta":{"current_page":2,"from":21,"last_page":3,"per_page":20,"to":40,"total":55},
                        "links":{"first":"f","last":"l","prev":"p","next":"n"}})")
        << true << 2 << QList<int>{2, 21, 3, 20, 40, 55} << QStringList{"f", "l", "p", "n"};
    QTest::newRow("success as text stays false") << QByteArray(R"({"success":"true"})") << false << 0 << defaults
                                                 << noLinks;
    QTest::newRow("data not an array") << QByteArray(R"({"success":true,"data":{"id":1}})") << true << 0
                                       << defaults << noLinks;
    QTest::newRow("meta not an object") << QByteArray(R"({"meta":[2,21]})") << false << 0 << defaults << noLinks;
    QTest::newRow("meta partial and mistyped")
        << QByteArray(R"({"meta":{"current_page":4,"per_page":"50","total":9.5}})") << false << 0
        << QList<int>{4, 0, 1, 20, 0, 0} << noLinks;
    QTest::newRow("links with nulls")
        << QByteArray(R"({"links":{"first":"f","last":null,"prev":null,"next":3}})") << false << 0 << defaults
        << QStringList{"f", "", "", ""};
    QTest::newRow("links not an object") << QByteArray(R"({"links":"f"})") << false << 0 << defaults << noLinks;
}

void CatalogModelsTest::orderListResponse()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, success);
    QFETCH(int, orders);
    QFETCH(QList<int>, meta);
    QFETCH(QStringList, links);

    const QJsonDocument document = QJsonDocument::fromJson(json);
    QVERIFY(document.isObject());
    const OrderListResponse response = OrderListResponse::fromJson(document.object());
    QCOMPARE(response.success, success);
    QCOMPARE(response.orders.size(), orders);
    const PaginationMeta &m = response.meta;
    QCOMPARE(QList<int>({m.currentPage, m.from, m.lastPage, m.perPage, m.to, m.total}), meta);
    QCOMPARE(QStringList({response.links.first, response.links.last, response.links.prev, response.links.next}),
             links);

    const OrderListResponse fresh;
    QCOMPARE(fresh.success, false);
    QCOMPARE(QList<int>({fresh.meta.currentPage, fresh.meta.from, fresh.meta.lastPage, fresh.meta.perPage,
                         fresh.meta.to, fresh.meta.total}),
             QList<int>({1, 0, 1, 20, 0, 0}));
}

QTEST_GUILESS_MAIN(CatalogModelsTest)
#include "tst_catalogmodels.moc"
