#include "api/network/HttpClient.h"
#include "api/services/AnnouncementService.h"
#include "api/storage/LocalStorage.h"
#include "support/BackendTestRig.h"
#include "support/Outcome.h"

#include <QJsonArray>
#include <QTest>

using Norvane::Api::Models::Announcement;
using Norvane::Api::Network::HttpClient;
using Norvane::Api::Services::AnnouncementService;
using Norvane::Api::Storage::LocalStorage;
using Norvane::LocalBackend::RecordedRequest;
using Norvane::LocalBackend::Reply;

namespace {

AnnouncementService *service()
{
    return AnnouncementService::instance();
}

QJsonObject replyWithIds(const QList<int> &ids)
{
    QJsonArray data;
    for (int id : ids)
        data << QJsonObject{{"id", id}, {"title", QStringLiteral("公告%1").arg(id)}, {"type", "info"}};
    return {{"success", true}, {"data", data}};
}

QList<int> idsOf(const QList<Announcement> &announcements)
{
    QList<int> ids;
    for (const Announcement &announcement : announcements)
        ids << announcement.id;
    return ids;
}

} // namespace

class AnnouncementServiceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void lastReadIdIsReadAtConstruction();
    void requests_data();
    void requests();
    void newAnnouncementDetection_data();
    void newAnnouncementDetection();
    void failures_data();
    void failures();
    void successWithoutUsableData_data();
    void successWithoutUsableData();

private:
    void fillCache(const QList<int> &ids);

    BackendTestRig m_rig;
    QJsonObject m_reply;
    QStringList m_events;
};

void AnnouncementServiceTest::initTestCase()
{
    QVERIFY(m_rig.start());
    // Stored before the service exists, which reads it once when it is created.
    LocalStorage::instance()->setString("last_read_announcement_id", "42");

    m_rig.backend().route("GET", "/api/v1/announcements",
                          [this](const RecordedRequest &) { return Reply::json(m_reply); });

    connect(service(), &AnnouncementService::newAnnouncementReceived, this,
            [this](const Announcement &announcement) { m_events << QStringLiteral("new:%1").arg(announcement.id); });
    connect(service(), &AnnouncementService::announcementsUpdated, this,
            [this](const QList<Announcement> &list) { m_events << QStringLiteral("updated:%1").arg(list.size()); });
}

void AnnouncementServiceTest::init()
{
    m_rig.reset();
    HttpClient::instance()->clearAuthToken();
    m_reply = replyWithIds({});
    m_events.clear();
}

void AnnouncementServiceTest::fillCache(const QList<int> &ids)
{
    m_reply = replyWithIds(ids);
    Outcome<QList<Announcement>> outcome;
    service()->getAnnouncements("windows", 0, outcome.callback());
    QVERIFY(outcome.wait());
    QCOMPARE(idsOf(service()->cachedAnnouncements()), ids);
    m_rig.backend().clearRequests();
    m_events.clear();
}

void AnnouncementServiceTest::lastReadIdIsReadAtConstruction()
{
    QCOMPARE(service()->lastReadAnnouncementId(), 42);
    // Read once: later changes of the setting are not picked up.
    LocalStorage::instance()->setString("last_read_announcement_id", "50");
    QCOMPARE(service()->lastReadAnnouncementId(), 42);
}

void AnnouncementServiceTest::requests_data()
{
    QTest::addColumn<QString>("platform");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("query");

    QTest::newRow("bridge call") << "windows" << 0 << "platform=windows";
    QTest::newRow("limit 5") << "windows" << 5 << "limit=5&platform=windows";
    QTest::newRow("negative limit") << "windows" << -3 << "platform=windows";
    QTest::newRow("empty platform still sent") << "" << 0 << "platform=";
    QTest::newRow("other platform") << "macos" << 12 << "limit=12&platform=macos";
}

void AnnouncementServiceTest::requests()
{
    QFETCH(QString, platform);
    QFETCH(int, limit);
    QFETCH(QString, query);

    // Announcements are public: the token stays home even while logged in.
    HttpClient::instance()->setAuthToken("tok-logged-in");
    Outcome<QList<Announcement>> outcome;
    service()->getAnnouncements(platform, limit, outcome.callback());
    QVERIFY(outcome.wait());

    const QList<RecordedRequest> requests = m_rig.backend().requests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().method, QByteArray("GET"));
    QCOMPARE(requests.first().path, QStringLiteral("/api/v1/announcements"));
    QCOMPARE(requests.first().query.toString(), query);
    QVERIFY(requests.first().query.hasQueryItem("platform"));
    QVERIFY(!requests.first().hasHeader("Authorization"));
}

void AnnouncementServiceTest::newAnnouncementDetection_data()
{
    QTest::addColumn<QList<int>>("cached");
    QTest::addColumn<QList<int>>("reply");
    QTest::addColumn<QStringList>("events");

    QTest::newRow("newer first")
        << QList<int>{7, 6} << QList<int>{9, 7} << QStringList{"new:9", "callback", "updated:2"};
    QTest::newRow("only the heads are compared")
        << QList<int>{7} << QList<int>{7, 8} << QStringList{"callback", "updated:2"};
    QTest::newRow("older first") << QList<int>{7} << QList<int>{3} << QStringList{"callback", "updated:1"};
    QTest::newRow("first fetch never signals") << QList<int>{} << QList<int>{9} << QStringList{"callback", "updated:1"};
    QTest::newRow("empty reply") << QList<int>{7} << QList<int>{} << QStringList{"callback", "updated:0"};
    // The stored last-read id (42) plays no part: 41 is newer than 40 all the same.
    QTest::newRow("last read id ignored")
        << QList<int>{40} << QList<int>{41} << QStringList{"new:41", "callback", "updated:1"};
    QTest::newRow("signed comparison")
        << QList<int>{-5} << QList<int>{-2} << QStringList{"new:-2", "callback", "updated:1"};
}

void AnnouncementServiceTest::newAnnouncementDetection()
{
    QFETCH(QList<int>, cached);
    QFETCH(QList<int>, reply);
    QFETCH(QStringList, events);

    fillCache(cached);
    m_reply = replyWithIds(reply);
    Outcome<QList<Announcement>> outcome;
    service()->getAnnouncements("windows", 0, outcome.callback(&m_events));
    QVERIFY(outcome.wait());
    QTest::qWait(20);

    QCOMPARE(outcome.calls, 1);
    QVERIFY(outcome.success);
    QCOMPARE(outcome.message, QStringLiteral("获取成功"));
    QCOMPARE(idsOf(outcome.result), reply);
    QCOMPARE(m_events, events);
    QCOMPARE(idsOf(service()->cachedAnnouncements()), reply);
}

void AnnouncementServiceTest::failures_data()
{
    QTest::addColumn<bool>("refused");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("message");

    QTest::newRow("success false")
        << false << 200 << QByteArray(R"({"success":false,"message":"公告服务暂停","data":[{"id":99}]})")
        << "公告服务暂停";
    QTest::newRow("http 503 with errors")
        << false << 503 << QByteArray(R"({"errors":{"platform":["平台无效"]}})") << "平台无效";
    QTest::newRow("http 500 html") << false << 500 << QByteArray("<html>oops</html>") << "";
    QTest::newRow("transport error") << true << 0 << QByteArray() << "";
}

void AnnouncementServiceTest::failures()
{
    QFETCH(bool, refused);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, message);

    fillCache({7, 6});
    m_rig.fail("GET", "/api/v1/announcements", refused, status, body);

    Outcome<QList<Announcement>> outcome;
    outcome.success = true;
    service()->getAnnouncements("windows", 0, outcome.callback(&m_events));
    QVERIFY(outcome.wait());
    QTest::qWait(20);

    QCOMPARE(outcome.calls, 1);
    QVERIFY(!outcome.success);
    if (refused)
        QVERIFY(!outcome.message.isEmpty());
    else
        QCOMPARE(outcome.message, message);
    QVERIFY(outcome.result.isEmpty());
    QCOMPARE(m_events, QStringList({"callback"}));
    QCOMPARE(idsOf(service()->cachedAnnouncements()), QList<int>({7, 6}));
}

void AnnouncementServiceTest::successWithoutUsableData_data()
{
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("data is an object") << QByteArray(R"({"success":true,"data":{"id":9}})");
    QTest::newRow("body is an array") << QByteArray(R"([{"id":9}])");
    QTest::newRow("only non-object elements") << QByteArray(R"({"data":[9,"x",null]})");
}

void AnnouncementServiceTest::successWithoutUsableData()
{
    QFETCH(QByteArray, body);

    fillCache({7});
    m_rig.replaceBody("GET", "/api/v1/announcements", body);

    Outcome<QList<Announcement>> outcome;
    service()->getAnnouncements("windows", 0, outcome.callback(&m_events));
    QVERIFY(outcome.wait());
    QTest::qWait(20);

    QCOMPARE(outcome.calls, 1);
    QVERIFY(outcome.success);
    QVERIFY(outcome.result.isEmpty());
    QCOMPARE(m_events, QStringList({"callback", "updated:0"}));
    QVERIFY(service()->cachedAnnouncements().isEmpty());
}

QTEST_GUILESS_MAIN(AnnouncementServiceTest)
#include "tst_announcementservice.moc"
