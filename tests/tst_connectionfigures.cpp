#include "api/services/VpnConnectionService.h"
#include "api/vpn/V2RayCore.h"
#include "support/ConnectionEvents.h"
#include "support/ConnectionTestRig.h"
#include "support/LogCapture.h"
#include "support/ServerLinks.h"

#include <QJsonObject>
#include <QTest>

using Norvane::Api::Services::VpnConnectionService;
using Norvane::Api::Vpn::V2RayCore;

namespace {

constexpr int kConnectDelayMs = ConnectionTestRig::kConnectDelayMs;

const QString kLink = vmessLinkTo(QStringLiteral("hk1.example.test"));

} // namespace

// The running connection's figures: its duration, the traffic totals with their speeds and the
// latency, with the texts they are shown in.
class ConnectionFiguresTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void formatDuration_data();
    void formatDuration();
    void formatSpeed_data();
    void formatSpeed();
    void trafficFiguresAndSpeeds();
    void coreTrafficIsRelayedOnce();
    void latencyReachesTheHeartbeat();
    void durationCountsWhileConnected();

private:
    VpnConnectionService *service() const { return VpnConnectionService::instance(); }
    V2RayCore *core() const { return service()->proxyCore(); }
    ConnectionEvents &events() { return m_rig.events(); }
    bool connectAndWait() { return m_rig.connectAndWait(1, kLink); }
    QList<QJsonObject> beats() const { return m_rig.beats(); }
    QStringList beatStatuses() const { return m_rig.beatStatuses(); }

    ConnectionTestRig m_rig;
};

void ConnectionFiguresTest::initTestCase()
{
    QVERIFY(m_rig.prepare());
    // Read before anything shortens it; a tick of 0 or less is refused.
    QCOMPARE(service()->durationTickInterval(), VpnConnectionService::kDurationTickMs);
    QCOMPARE(VpnConnectionService::kDurationTickMs, 1000);
    service()->setDurationTickInterval(0);
    QCOMPARE(service()->durationTickInterval(), 1000);
}

void ConnectionFiguresTest::init()
{
    m_rig.reset();
}

void ConnectionFiguresTest::cleanup()
{
    m_rig.finish();
}

void ConnectionFiguresTest::formatDuration_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("text");

    QTest::newRow("0") << 0 << "00:00:00";
    QTest::newRow("59 s") << 59 << "00:00:59";
    QTest::newRow("1 h 2 min 5 s") << 3725 << "01:02:05";
    QTest::newRow("a day less a second") << 86399 << "23:59:59";
    QTest::newRow("100 h") << 360000 << "100:00:00";
}

void ConnectionFiguresTest::formatDuration()
{
    QFETCH(int, seconds);
    QFETCH(QString, text);
    QCOMPARE(VpnConnectionService::formatDuration(seconds), text);
}

void ConnectionFiguresTest::formatSpeed_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("text");

    QTest::newRow("nothing") << qint64(0) << 1 << "0 B/s";
    QTest::newRow("500 B") << qint64(500) << 1 << "500 B/s";
    QTest::newRow("1023 B") << qint64(1023) << 1 << "1023 B/s";
    QTest::newRow("1024 B") << qint64(1024) << 1 << "1.00 KB/s";
    QTest::newRow("1.5 KB") << qint64(1536) << 1 << "1.50 KB/s";
    QTest::newRow("3000 B") << qint64(3000) << 1 << "2.93 KB/s";
    QTest::newRow("3000 B over 2 s") << qint64(3000) << 2 << "1.46 KB/s";
    QTest::newRow("rate truncated before the threshold") << qint64(2047) << 2 << "1023 B/s";
    QTest::newRow("0 s counts as 1") << qint64(3000) << 0 << "2.93 KB/s";
    QTest::newRow("negative seconds count as 1") << qint64(500) << -4 << "500 B/s";
    QTest::newRow("1.5 MB") << qint64(1572864) << 1 << "1.50 MB/s";
    QTest::newRow("2 MB") << qint64(2097152) << 1 << "2.00 MB/s";
    QTest::newRow("just below 1 GB") << qint64(1073741823) << 1 << "1024.00 MB/s";
    QTest::newRow("1 GB") << qint64(1073741824) << 1 << "1.00 GB/s";
    QTest::newRow("negative") << qint64(-5) << 1 << "-5 B/s";
}

void ConnectionFiguresTest::formatSpeed()
{
    QFETCH(qint64, bytes);
    QFETCH(int, seconds);
    QFETCH(QString, text);
    QCOMPARE(VpnConnectionService::formatSpeed(bytes, seconds), text);
}

void ConnectionFiguresTest::trafficFiguresAndSpeeds()
{
    QVERIFY(connectAndWait());
    QTRY_COMPARE(beatStatuses(), QStringList{"connected"});
    // Before the first report of a connection nothing has moved.
    QCOMPARE(service()->uploadSpeed(), QStringLiteral("0 B/s"));
    QCOMPARE(service()->downloadSpeed(), QStringLiteral("0 B/s"));

    // Read right after a report: the difference of the last two reports per second.
    service()->updateTrafficStats(3000, 500);
    QCOMPARE(service()->uploadSpeed(), QStringLiteral("2.93 KB/s"));
    QCOMPARE(service()->downloadSpeed(), QStringLiteral("500 B/s"));
    service()->updateTrafficStats(2000, 500 + 1572864);
    QCOMPARE(service()->property("uploadSpeed").toString(), QStringLiteral("-1000 B/s"));
    QCOMPARE(service()->property("downloadSpeed").toString(), QStringLiteral("1.50 MB/s"));
    QCOMPARE(service()->uploadBytes(), qlonglong(2000));
    QCOMPARE(service()->property("downloadBytes").toLongLong(), qlonglong(500 + 1572864));
    QCOMPARE(events().trafficChanges, 2);

    // The heartbeat carries the latest totals; the reset emits nothing.
    service()->disconnect();
    QTRY_COMPARE(beats().size(), 2);
    QCOMPARE(beats().last().value("upload_bytes").toInteger(), qint64(2000));
    QCOMPARE(beats().last().value("download_bytes").toInteger(), qint64(500 + 1572864));
    QCOMPARE(service()->uploadBytes(), qlonglong(0));
    QCOMPARE(service()->downloadBytes(), qlonglong(0));
    QCOMPARE(events().trafficChanges, 2);

    // Not connected: the totals are kept, the speeds read nothing.
    service()->updateTrafficStats(100, 200);
    QCOMPARE(events().trafficChanges, 3);
    QCOMPARE(service()->uploadBytes(), qlonglong(100));
    QCOMPARE(service()->uploadSpeed(), QStringLiteral("0 B/s"));
    QCOMPARE(service()->downloadSpeed(), QStringLiteral("0 B/s"));
}

// The core is wired once, however many connections it serves.
void ConnectionFiguresTest::coreTrafficIsRelayedOnce()
{
    QVERIFY(connectAndWait());
    service()->disconnect();
    core()->setStatsInterval(50);
    int coreReports = 0;
    qlonglong lastUpload = 0;
    QObject context;
    QObject::connect(core(), &V2RayCore::trafficUpdate, &context, [&](qlonglong upload, qlonglong) {
        ++coreReports;
        lastUpload = upload;
    });
    events().trafficChanges = 0;

    QVERIFY(connectAndWait());
    QVERIFY(QTest::qWaitFor([&]() { return coreReports >= 2; }, 3000));
    service()->disconnect();
    QCOMPARE(events().trafficChanges, coreReports);
    QTRY_COMPARE(beats().size(), 4);
    QVERIFY(lastUpload > 0);
    QCOMPARE(beats().last().value("upload_bytes").toInteger(), qint64(lastUpload));
}

void ConnectionFiguresTest::latencyReachesTheHeartbeat()
{
    QVERIFY(connectAndWait());
    service()->updateLatency(80);
    QCOMPARE(service()->latency(), 80);
    QCOMPARE(service()->property("latency").toInt(), 80);
    QCOMPARE(events().latencyChanges, 1);

    service()->disconnect();
    QTRY_COMPARE(beats().size(), 2);
    QCOMPARE(beats().last().value("latency_ms").toInt(), 80);
    QCOMPARE(service()->latency(), 0);
    QCOMPARE(events().latencyChanges, 1);
}

void ConnectionFiguresTest::durationCountsWhileConnected()
{
    service()->setDurationTickInterval(100);
    // Nothing counts before the connection is up, however slowly it comes up.
    QObject context;
    bool countedBeforeUp = false;
    QObject::connect(service(), &VpnConnectionService::connectionDurationChanged, &context,
                     [&]() { countedBeforeUp = countedBeforeUp || !events().texts.contains("success"); });
    QVERIFY(service()->connect(1, kLink));
    QTest::qWait(kConnectDelayMs / 2);
    QVERIFY(events().waitFor("success"));

    QVERIFY(QTest::qWaitFor([&]() { return events().durations.contains(1); }, 3000));
    QVERIFY(!countedBeforeUp);
    QCOMPARE(events().durations.first(), 0);
    for (int i = 1; i < events().durations.size(); ++i)
        QVERIFY(events().durations[i] >= events().durations[i - 1]);
    QCOMPARE(service()->connectionDuration(), events().durations.last());
    QCOMPARE(service()->connectionDurationText(), QStringLiteral("00:00:01"));
    QCOMPARE(service()->property("connectionDurationText").toString(), QStringLiteral("00:00:01"));

    LogCapture log;
    const int ticks = events().durations.size();
    service()->disconnect();
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] 停止连接时长计时, 总时长: \"00:00:01\"")));
    QCOMPARE(service()->connectionDurationText(), QStringLiteral("00:00:00"));
    QTest::qWait(250);
    QCOMPARE(events().durations.size(), ticks);
}

QTEST_MAIN(ConnectionFiguresTest)
#include "tst_connectionfigures.moc"
