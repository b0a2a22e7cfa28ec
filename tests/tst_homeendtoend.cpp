#include "api/bridge/QmlApiAdapter.h"
#include "api/services/VpnConnectionService.h"
#include "api/vpn/V2RayCore.h"
#include "localbackend/ApiRoutes.h"
#include "support/ClientWindow.h"
#include "support/FixedReplyHttpServer.h"
#include "support/LocalPort.h"
#include "support/PropertyTrace.h"
#include "support/ProxyCoreProcesses.h"
#include "support/QuickWindowDriver.h"
#include "support/RoundEdgeProbe.h"
#include "support/ServerLinks.h"
#include "support/SignalWait.h"
#include "support/Socks5HttpClient.h"
#include "support/StandInMachine.h"
#include "support/VmessTestServer.h"
#include "support/WindowTestRig.h"

#include <QFile>
#include <QImage>
#include <QQuickWindow>
#include <QQuickItem>
#include <QSignalSpy>
#include <QTest>

using namespace Norvane::Api;
using Norvane::LocalBackend::ApiRoutes;
using Services::VpnConnectionService;

namespace {

constexpr quint16 kMixedPort = 10315;
const QString kTunnelOnlyName = QStringLiteral("tunnel-only.test");
const QByteArray kBody = "answered behind the vmess server";
const QString kUserServer = QStringLiteral("http=corp.example:8080");

} // namespace

// The home page in the client's window with the real bridge, services and proxy-core stand-in,
// against the local back end and a local vmess server: the user connects and disconnects by
// clicking the connect control. With NORVANE_SCREENSHOT_DIR set, the home page signed in as a
// free user and connected as a VIP are saved there.
class HomeEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void freeUserConnectsAndDisconnectsByClicks();
    void vipConnectionGlows();
    void ringEdgesAreSmooth_data();
    void ringEdgesAreSmooth();

private:
    QVariant evaluate(const QString &expression) { return m_rig.client().evaluate(expression); }
    const QuickWindowDriver &driver() const { return m_rig.client().driver(); }
    bool signIn(const QString &email, const QString &password);
    void clickConnectControl();
    void verifyOff();
    void verifyGlowAndRimAreDrawn(const QQuickItem *glow);

    WindowTestRig m_rig;
    VmessTestServer m_vmessServer;
    FixedReplyHttpServer m_http{kBody};
    QmlApiAdapter *m_api = nullptr;
};

void HomeEndToEndTest::initTestCase()
{
    QVERIFY(m_rig.prepare());
    QVERIFY(m_rig.machine().setProxyEnable(1));
    QVERIFY(m_rig.machine().setProxyServer(kUserServer));

    QVERIFY2(m_vmessServer.start(QStringLiteral("tcp"), QStringLiteral("/tunnel"), nullptr, kTunnelOnlyName),
             qPrintable(m_vmessServer.errorString()));
    QVERIFY(m_http.listen());
    QVERIFY(seedSingleServer(m_rig.routes(), VmessTestServer::clientLink(m_vmessServer.port(), QStringLiteral("tcp"))));
    QVERIFY(m_rig.open());
    m_api = m_rig.client().api();

    // Signed in while the splash shows, the home page's first server list is the user's own,
    // and it proposes the line the user may use.
    QVERIFY(signIn(QStringLiteral("demo@norvane.local"), QStringLiteral("demo1234")));
    QTRY_VERIFY_WITH_TIMEOUT(evaluate(QStringLiteral("stackView.currentItem instanceof ScreenWrapper")).toBool(), 5000);
    QTRY_COMPARE(evaluate(QStringLiteral("currentServerId")).toInt(), 1);
    QTRY_VERIFY(!evaluate(QStringLiteral("stackView.busy")).toBool());
}

void HomeEndToEndTest::cleanupTestCase()
{
    m_rig.close();
}

bool HomeEndToEndTest::signIn(const QString &email, const QString &password)
{
    QSignalSpy signedIn(m_api, &QmlApiAdapter::loginSuccess);
    m_api->login(email, password);
    return waitForEmissions(signedIn);
}

void HomeEndToEndTest::clickConnectControl()
{
    QVERIFY(driver().click(QStringLiteral("connectButton")));
}

void HomeEndToEndTest::verifyOff()
{
    QTRY_VERIFY(!driver().read(QStringLiteral("connectButton"), "connected").toBool());
    QCOMPARE(driver().read(QStringLiteral("connectButton"), "connecting").toBool(), false);
    QCOMPARE(driver().read(QStringLiteral("durationLabel"), "text").toString(), QStringLiteral("00:00:00"));
    QCOMPARE(driver().read(QStringLiteral("statusLine"), "text").toString(), QStringLiteral("未连接"));
    QCOMPARE(VpnConnectionService::instance()->state(), VpnConnectionService::Disconnected);
    // The user's own proxy is back and nothing of the connection is left.
    QCOMPARE(m_rig.machine().internetSetting("ProxyEnable"), StandInMachine::dword(1));
    QCOMPARE(m_rig.machine().internetSetting("ProxyServer"), StandInMachine::text(kUserServer));
    QTRY_COMPARE(proxyCoreProcessIds(), QList<qint64>());
    QVERIFY(!QFile::exists(Norvane::Api::Vpn::V2RayCore::configFilePath()));
}

// The window as the renderer draws it, above the control's centre: the ring's VIP rim is
// yellow, the glow's band beyond it is tinted yellow over the page, and past the glow the page
// shows untinted.
void HomeEndToEndTest::verifyGlowAndRimAreDrawn(const QQuickItem *glow)
{
    const QImage frame = m_rig.client().window()->grabWindow();
    const QPoint centre = glow->mapToScene(QPointF(glow->width() / 2, glow->height() / 2)).toPoint();
    const QColor rim = frame.pixelColor(centre.x(), centre.y() - 104);
    const QColor band = frame.pixelColor(centre.x(), centre.y() - 120);
    const QColor page = frame.pixelColor(centre.x(), centre.y() - 140);
    QVERIFY2(rim.red() > 200 && rim.green() > 180 && rim.blue() < 150, qPrintable(rim.name()));
    QVERIFY2(band.red() - page.red() > 25 && band.green() - page.green() > 25 && band.blue() - page.blue() < 15,
             qPrintable(band.name() + QLatin1String(" over ") + page.name()));
}

void HomeEndToEndTest::freeUserConnectsAndDisconnectsByClicks()
{
    QCOMPARE(driver().read(QStringLiteral("serverNameLine"), "text").toString(), QStringLiteral("本地免费节点"));
    QCOMPARE(driver().read(QStringLiteral("latencyLine"), "text").toString(), QStringLiteral("延迟: 45ms"));
    QCOMPARE(driver().read(QStringLiteral("subtitle"), "text").toString(), QStringLiteral("免费用户"));
    QCOMPARE(driver().read(QStringLiteral("connectHint"), "text").toString(), QStringLiteral("点击连接"));
    QVERIFY(m_rig.client().shoot(QStringLiteral("home-signed-in-free.png")));

    // The control passes through connecting, however soon the core comes up.
    PropertyTrace control(driver().item(QStringLiteral("connectButton")), {"connecting", "connected"});
    clickConnectControl();
    QTRY_VERIFY_WITH_TIMEOUT(driver().read(QStringLiteral("connectButton"), "connected").toBool(), 10000);
    QCOMPARE(driver().read(QStringLiteral("connectButton"), "connecting").toBool(), false);
    const int connecting = control.indexOf(QStringLiteral("connecting=true"));
    QVERIFY2(connecting >= 0 && connecting < control.indexOf(QStringLiteral("connected=true")),
             qPrintable(control.lines().join(QLatin1String(", "))));
    QCOMPARE(driver().read(QStringLiteral("statusLine"), "text").toString(), QStringLiteral("已连接"));
    QVERIFY(!driver().item(QStringLiteral("connectHint")));
    QCOMPARE(m_rig.machine().internetSetting("ProxyServer"),
             StandInMachine::text(QStringLiteral("socks=127.0.0.1:10315")));

    // The duration counts from the connection's start: a busy machine may show a second late.
    QTRY_VERIFY_WITH_TIMEOUT(driver().read(QStringLiteral("durationLabel"), "text").toString()
                                 >= QLatin1String("00:00:02"), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(driver().read(QStringLiteral("uploadSpeedText"), "text").toString() != "0 B/s"
                                 && driver().read(QStringLiteral("downloadSpeedText"), "text").toString() != "0 B/s",
                             6000);
    QVERIFY(driver().read(QStringLiteral("downloadSpeedText"), "text").toString().endsWith(QLatin1String("/s")));

    // Only the vmess server's own DNS knows the name: an answer proves the tunnel carried it.
    QVERIFY(LocalPort::waitUntilServed(kMixedPort, 5000));
    const Socks5HttpClient::Result result = Socks5HttpClient::get(kMixedPort, kTunnelOnlyName, m_http.port());
    QVERIFY2(result.error.isEmpty(), qPrintable(result.error + QLatin1Char('\n') + m_vmessServer.output()));
    QCOMPARE(result.body, kBody);
    QVERIFY(m_vmessServer.output().contains(QStringLiteral("accepted tcp:%1:%2").arg(kTunnelOnlyName).arg(m_http.port())));

    clickConnectControl();
    verifyOff();
}

void HomeEndToEndTest::vipConnectionGlows()
{
    m_api->logout();
    QTRY_VERIFY(!m_api->isLoggedIn());
    QVERIFY(signIn(QStringLiteral("vip@norvane.local"), QStringLiteral("vip12345")));
    QTRY_COMPARE(driver().read(QStringLiteral("subtitle"), "text").toString(), QStringLiteral("VIP会员"));
    QCOMPARE(driver().read(QStringLiteral("statusText"), "text").toString(), QStringLiteral("VIP %1天").arg(m_api->vipDays()));

    clickConnectControl();
    QTRY_VERIFY_WITH_TIMEOUT(driver().read(QStringLiteral("connectButton"), "connected").toBool(), 10000);
    QQuickItem *glow = driver().item(QStringLiteral("glow"));
    QVERIFY(glow);
    QCOMPARE(glow->property("color").value<QColor>(), QColor(QStringLiteral("#FFEB3B")));
    // The duration counts from the connection's start: a busy machine may show a second late.
    QTRY_VERIFY_WITH_TIMEOUT(driver().read(QStringLiteral("durationLabel"), "text").toString()
                                 >= QLatin1String("00:00:02"), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(glow->opacity() > 0.17, 4000);
    verifyGlowAndRimAreDrawn(glow);
    QVERIFY(m_rig.client().shoot(QStringLiteral("home-connected-vip.png")));

    clickConnectControl();
    verifyOff();
    QVERIFY(!driver().item(QStringLiteral("glow")));
}

void HomeEndToEndTest::ringEdgesAreSmooth_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("vip");
    QTest::newRow("free") << QStringLiteral("demo@norvane.local") << QStringLiteral("demo1234") << false;
    QTest::newRow("VIP") << QStringLiteral("vip@norvane.local") << QStringLiteral("vip12345") << true;
}

// The window as the renderer draws it: across the ring's outer edge (to the page) and its inner
// edge (to the dark middle), rays in every quarter of the ring cross pixels blended between the
// ring's colour and the colour beyond the edge, in either tier's colours. A stepped edge has
// none on any ray.
void HomeEndToEndTest::ringEdgesAreSmooth()
{
    QFETCH(QString, email);
    QFETCH(QString, password);
    QFETCH(bool, vip);
    m_api->logout();
    QTRY_VERIFY(!m_api->isLoggedIn());
    QVERIFY(signIn(email, password));
    QTRY_COMPARE(driver().read(QStringLiteral("connectButton"), "isVip").toBool(), vip);
    // At rest, off and unscaled: no glow under the ring and its edges where its size puts them.
    QTRY_COMPARE(driver().read(QStringLiteral("connectButton"), "scale").toReal(), 1.0);
    QCOMPARE(driver().read(QStringLiteral("connectButton"), "connected").toBool(), false);

    const QQuickItem *control = driver().item(QStringLiteral("connectButton"));
    QVERIFY(control);
    const RoundEdgeProbe probe(m_rig.client().window(),
                               control->mapToScene(QPointF(control->width() / 2, control->height() / 2)));
    const qreal outer = control->width() / 2;
    const qreal inner = outer - 12; // the ring is 12 pixels wide
    const qreal band = (outer + inner) / 2;
    struct Edge
    {
        const char *name;
        qreal beyond;
    };
    // Beyond each edge by more than its blended pixels: the page outside, the dark middle short of
    // the inner circle inside.
    const Edge edges[] = {{"outer", outer + 7}, {"inner", inner - 7}};
    constexpr int kRaysPerQuarter = 9;
    for (const Edge &edge : edges) {
        int blendedInAll = 0;
        for (int quarter = 0; quarter < 4; ++quarter) {
            int blended = 0;
            for (int k = 0; k < kRaysPerQuarter; ++k) {
                const qreal degrees = quarter * 90 + 5 + k * 10;
                const RoundEdgeProbe::Ray ray = probe.cross(degrees, band, edge.beyond);
                QVERIFY2(ray.contrasted, qPrintable(QStringLiteral("no ring at %1 degrees").arg(degrees)));
                blended += ray.crossesBlend;
            }
            // A pixel that the edge covers almost wholly or hardly at all shows no blend, so some
            // rays miss one.
            QVERIFY2(blended >= kRaysPerQuarter / 3,
                     qPrintable(QStringLiteral("%1 edge, quarter %2: %3 of %4 rays cross a blended pixel")
                                    .arg(QLatin1String(edge.name)).arg(quarter).arg(blended).arg(kRaysPerQuarter)));
            blendedInAll += blended;
        }
        qInfo().noquote() << edge.name << "edge:" << blendedInAll << "of" << 4 * kRaysPerQuarter
                          << "rays cross a blended pixel";
    }
}

QTEST_MAIN(HomeEndToEndTest)
#include "tst_homeendtoend.moc"
