#include "api/models/User.h"

#include <QJsonDocument>
#include <QtTest>

using Norvane::Api::Models::User;

namespace {

QJsonObject parse(const QByteArray &text)
{
    return QJsonDocument::fromJson(text).object();
}

// Clock time of "now + offset" in UTC, written without a zone so a test can append one.
QString utcClockText(qint64 secondsFromNow)
{
    return QDateTime::currentDateTimeUtc().addSecs(secondsFromNow).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

} // namespace

class TestUser : public QObject
{
    Q_OBJECT

private slots:
    void emptyObjectGivesDefaultRecord();
    void parsesEveryMember();
    void mistypedMembersKeepDefaults_data();
    void mistypedMembersKeepDefaults();
    void roundTripKeepsEveryField();
    void writesDatesWithoutFraction();
    void statsNullOnlyWhenAllZero_data();
    void statsNullOnlyWhenAllZero();
    void zoneOfDateTextIsHonoured();
    void isVipActive_data();
    void isVipActive();
};

void TestUser::emptyObjectGivesDefaultRecord()
{
    const User user = User::fromJson(QJsonObject());
    QCOMPARE(user.id, 0);
    QVERIFY(user.email.isEmpty());
    QVERIFY(!user.vipExpiresAt.isValid());
    QVERIFY(!user.createdAt.isValid());

    const QJsonObject json = user.toJson();
    QVERIFY(json.value("vip_expires_at").isNull());
    QVERIFY(json.value("trial_expires_at").isNull());
    QVERIFY(json.value("stats").isNull());
    QVERIFY(!json.contains("created_at"));
    QCOMPARE(json.value("id"), QJsonValue(0));
    QCOMPARE(json.value("email"), QJsonValue(""));
    QCOMPARE(json.value("name"), QJsonValue(""));
    QCOMPARE(json.value("status"), QJsonValue(""));
    QCOMPARE(json.value("is_vip"), QJsonValue(false));
    QCOMPARE(json.value("trial_used"), QJsonValue(false));
    QCOMPARE(json.value("trial_hours_total"), QJsonValue(0));
    QCOMPARE(json.value("trial_hours_used"), QJsonValue(0.0));
    QCOMPARE(json.value("trial_hours_remaining"), QJsonValue(0.0));
    QCOMPARE(json.size(), 12);
}

void TestUser::parsesEveryMember()
{
    const User user = User::fromJson(parse(R"({
        "id": 42, "email": "a@b.c", "name": "Ann", "status": "active",
        "is_vip": true, "vip_expires_at": "2031-02-03T04:05:06.789Z",
        "trial_used": true, "trial_expires_at": "2030-01-01T08:00:00+08:00",
        "trial_hours_total": 24, "trial_hours_used": 1.5, "trial_hours_remaining": 22.5,
        "created_at": "2024-06-01T12:00:00Z",
        "stats": {"total_upload": 5000000000, "total_download": 7, "total_time": 3600}
    })"));

    QCOMPARE(user.id, 42);
    QCOMPARE(user.email, QString("a@b.c"));
    QCOMPARE(user.name, QString("Ann"));
    QCOMPARE(user.status, QString("active"));
    QVERIFY(user.isVip);
    QCOMPARE(user.vipExpiresAt, QDateTime(QDate(2031, 2, 3), QTime(4, 5, 6, 789), Qt::UTC));
    QVERIFY(user.trialUsed);
    QCOMPARE(user.trialExpiresAt, QDateTime(QDate(2030, 1, 1), QTime(0, 0), Qt::UTC));
    QCOMPARE(user.trialHoursTotal, 24);
    QCOMPARE(user.trialHoursUsed, 1.5);
    QCOMPARE(user.trialHoursRemaining, 22.5);
    QCOMPARE(user.createdAt, QDateTime(QDate(2024, 6, 1), QTime(12, 0), Qt::UTC));
    QCOMPARE(user.stats.totalUpload, Q_INT64_C(5000000000));
    QCOMPARE(user.stats.totalDownload, Q_INT64_C(7));
    QCOMPARE(user.stats.totalTime, 3600);
}

void TestUser::mistypedMembersKeepDefaults_data()
{
    QTest::addColumn<QByteArray>("json");

    QTest::newRow("id as text") << QByteArray(R"({"id": "5"})");
    QTest::newRow("id not whole") << QByteArray(R"({"id": 1.5})");
    QTest::newRow("email as number") << QByteArray(R"({"email": 5})");
    QTest::newRow("is_vip as number") << QByteArray(R"({"is_vip": 1})");
    QTest::newRow("is_vip as text") << QByteArray(R"({"is_vip": "true"})");
    QTest::newRow("vip expiry null") << QByteArray(R"({"vip_expires_at": null})");
    QTest::newRow("vip expiry number") << QByteArray(R"({"vip_expires_at": 1700000000})");
    QTest::newRow("vip expiry unparsable") << QByteArray(R"({"vip_expires_at": "tomorrow"})");
    QTest::newRow("trial expiry null") << QByteArray(R"({"trial_expires_at": null})");
    QTest::newRow("created_at null") << QByteArray(R"({"created_at": null})");
    QTest::newRow("hours total not whole") << QByteArray(R"({"trial_hours_total": 2.5})");
    QTest::newRow("hours used as text") << QByteArray(R"({"trial_hours_used": "1.5"})");
    QTest::newRow("stats as array") << QByteArray(R"({"stats": [1, 2, 3]})");
    QTest::newRow("stats as text") << QByteArray(R"({"stats": "100"})");
    QTest::newRow("stats members as text") << QByteArray(R"({"stats": {"total_upload": "100", "total_download": true, "total_time": "9"}})");
}

void TestUser::mistypedMembersKeepDefaults()
{
    QFETCH(QByteArray, json);
    const QJsonObject input = parse(json);
    QVERIFY(!input.isEmpty());
    QCOMPARE(User::fromJson(input).toJson(), User().toJson());
}

void TestUser::roundTripKeepsEveryField()
{
    User user;
    user.id = 7;
    user.email = "x@y.z";
    user.name = "名字";
    user.status = "suspended";
    user.isVip = true;
    user.vipExpiresAt = QDateTime(QDate(2032, 3, 4), QTime(5, 6, 7, 890), Qt::UTC);
    user.trialUsed = true;
    user.trialExpiresAt = QDateTime(QDate(2029, 12, 31), QTime(23, 59, 58), Qt::OffsetFromUTC, 8 * 3600);
    user.trialHoursTotal = 48;
    user.trialHoursUsed = 0.25;
    user.trialHoursRemaining = 47.75;
    user.createdAt = QDateTime(QDate(2023, 1, 2), QTime(3, 4, 5), Qt::LocalTime);
    user.stats = {Q_INT64_C(9000000000), Q_INT64_C(123), 45};

    const QByteArray text = QJsonDocument(user.toJson()).toJson(QJsonDocument::Compact);
    const User back = User::fromJson(QJsonDocument::fromJson(text).object());

    QCOMPARE(back.id, user.id);
    QCOMPARE(back.email, user.email);
    QCOMPARE(back.name, user.name);
    QCOMPARE(back.status, user.status);
    QCOMPARE(back.isVip, user.isVip);
    QCOMPARE(back.vipExpiresAt.toSecsSinceEpoch(), user.vipExpiresAt.toSecsSinceEpoch());
    QCOMPARE(back.trialUsed, user.trialUsed);
    QCOMPARE(back.trialExpiresAt, user.trialExpiresAt);
    QCOMPARE(back.trialHoursTotal, user.trialHoursTotal);
    QCOMPARE(back.trialHoursUsed, user.trialHoursUsed);
    QCOMPARE(back.trialHoursRemaining, user.trialHoursRemaining);
    QCOMPARE(back.createdAt, user.createdAt);
    QCOMPARE(back.createdAt.timeSpec(), Qt::LocalTime);
    QCOMPARE(back.stats.totalUpload, user.stats.totalUpload);
    QCOMPARE(back.stats.totalDownload, user.stats.totalDownload);
    QCOMPARE(back.stats.totalTime, user.stats.totalTime);
}

void TestUser::writesDatesWithoutFraction()
{
    const User user = User::fromJson(parse(R"({
        "vip_expires_at": "2030-05-01T10:20:30.456Z",
        "trial_expires_at": "2030-05-01T10:20:30.456+08:00",
        "created_at": "2030-05-01T10:20:30"})"));
    const QJsonObject json = user.toJson();
    QCOMPARE(json.value("vip_expires_at").toString(), QString("2030-05-01T10:20:30Z"));
    QCOMPARE(json.value("trial_expires_at").toString(), QString("2030-05-01T10:20:30+08:00"));
    QCOMPARE(json.value("created_at").toString(), QString("2030-05-01T10:20:30"));
}

void TestUser::statsNullOnlyWhenAllZero_data()
{
    QTest::addColumn<qint64>("upload");
    QTest::addColumn<qint64>("download");
    QTest::addColumn<int>("time");
    QTest::addColumn<bool>("written");

    QTest::newRow("all zero") << Q_INT64_C(0) << Q_INT64_C(0) << 0 << false;
    QTest::newRow("negative only") << Q_INT64_C(-1) << Q_INT64_C(-5) << -2 << false;
    QTest::newRow("upload only") << Q_INT64_C(1) << Q_INT64_C(0) << 0 << true;
    QTest::newRow("download only") << Q_INT64_C(0) << Q_INT64_C(6000000000) << 0 << true;
    QTest::newRow("time only") << Q_INT64_C(0) << Q_INT64_C(0) << 1 << true;
}

void TestUser::statsNullOnlyWhenAllZero()
{
    QFETCH(qint64, upload);
    QFETCH(qint64, download);
    QFETCH(int, time);
    QFETCH(bool, written);

    User user;
    user.stats = {upload, download, time};
    const QJsonValue stats = user.toJson().value("stats");
    if (!written) {
        QVERIFY(stats.isNull());
        return;
    }
    const QJsonObject object = stats.toObject();
    QCOMPARE(object.size(), 3);
    QCOMPARE(object.value("total_upload").toInteger(), upload);
    QCOMPARE(object.value("total_download").toInteger(), download);
    QCOMPARE(object.value("total_time").toInt(), time);
}

void TestUser::zoneOfDateTextIsHonoured()
{
    const User utc = User::fromJson(parse(R"({"vip_expires_at": "2030-01-01T12:00:00Z"})"));
    const User east = User::fromJson(parse(R"({"vip_expires_at": "2030-01-01T12:00:00+08:00"})"));
    const User local = User::fromJson(parse(R"({"vip_expires_at": "2030-01-01T12:00:00"})"));

    QCOMPARE(utc.vipExpiresAt.toSecsSinceEpoch() - east.vipExpiresAt.toSecsSinceEpoch(), 8 * 3600);
    QCOMPARE(local.vipExpiresAt.timeSpec(), Qt::LocalTime);
    QCOMPARE(local.vipExpiresAt, QDateTime(QDate(2030, 1, 1), QTime(12, 0), Qt::LocalTime));
}

void TestUser::isVipActive_data()
{
    QTest::addColumn<bool>("isVip");
    QTest::addColumn<QString>("expiry");
    QTest::addColumn<bool>("active");

    const QString future = utcClockText(4 * 3600);
    QTest::newRow("flag, future Z") << true << future + "Z" << true;
    QTest::newRow("flag, same clock +08:00 is past") << true << future + "+08:00" << false;
    QTest::newRow("flag, past") << true << utcClockText(-60) + "Z" << false;
    QTest::newRow("flag, no expiry") << true << QString() << false;
    QTest::newRow("flag, unparsable expiry") << true << QString("soon") << false;
    QTest::newRow("no flag, future") << false << utcClockText(365 * 24 * 3600) + "Z" << false;
}

void TestUser::isVipActive()
{
    QFETCH(bool, isVip);
    QFETCH(QString, expiry);
    QFETCH(bool, active);

    QJsonObject json{{"is_vip", isVip}};
    if (!expiry.isEmpty())
        json.insert("vip_expires_at", expiry);
    QCOMPARE(User::fromJson(json).isVipActive(), active);
}

QTEST_GUILESS_MAIN(TestUser)
#include "tst_user.moc"
