#include "api/bridge/QmlApiAdapter.h"
#include "api/services/VpnConnectionService.h"
#include "localbackend/ApiRoutes.h"
#include "support/ClientWindow.h"
#include "support/ServerLinks.h"
#include "support/SignalWait.h"
#include "support/WindowTestRig.h"

#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>

using namespace Norvane::Api;
using Norvane::LocalBackend::DeviceStatus;
using Services::VpnConnectionService;

namespace {

const QString kDemoEmail = QStringLiteral("demo@norvane.local");
const QString kDemoPassword = QStringLiteral("demo1234");
const QString kAppName = QStringLiteral("Norvane本地加速器");
const QString kKickedText = QStringLiteral("您的账号在其他设备登录，已被强制下线");

} // namespace

// The client's window as the program loads it, with the real bridge and services, against the
// local back end and the real proxy-core stand-in. With NORVANE_SCREENSHOT_DIR set, the window
// with the forced-disconnect warning is saved there as forced-disconnect.png.
class WindowEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void splashThenHome();
    void forcedDisconnectShowsTheWarningAndSignsOut();

private:
    QVariant evaluate(const QString &expression) { return m_rig.client().evaluate(expression); }

    WindowTestRig m_rig;
    QmlApiAdapter *m_api = nullptr;
    QQuickWindow *m_window = nullptr;
};

void WindowEndToEndTest::initTestCase()
{
    QVERIFY(m_rig.prepare());
    QVERIFY(m_rig.routes().setConfigValue(QStringLiteral("app_name"), kAppName));
    QVERIFY(m_rig.open());
    m_api = m_rig.client().api();
    m_window = m_rig.client().window();
}

void WindowEndToEndTest::cleanupTestCase()
{
    m_rig.close();
}

void WindowEndToEndTest::splashThenHome()
{
    QCOMPARE(m_window->width(), 430);
    QCOMPARE(m_window->height(), 880);
    QVERIFY(evaluate(QStringLiteral("stackView.currentItem instanceof SplashScreen")).toBool());
    // The window asked for the system configuration and took the application name from it.
    QTRY_COMPARE(m_window->title(), kAppName);
    QTRY_VERIFY_WITH_TIMEOUT(evaluate(QStringLiteral("stackView.currentItem instanceof ScreenWrapper")).toBool(), 5000);
}

void WindowEndToEndTest::forcedDisconnectShowsTheWarningAndSignsOut()
{
    QSignalSpy signedIn(m_api, &QmlApiAdapter::loginSuccess);
    m_api->login(kDemoEmail, kDemoPassword);
    QVERIFY(waitForEmissions(signedIn));
    const QString link = firstListedServerLink();
    QVERIFY(!link.isEmpty());

    QSignalSpy connected(m_api, &QmlApiAdapter::vpnConnected);
    QVERIFY(m_api->connectVpn(1, link, false));
    QVERIFY(waitForEmissions(connected, 1, 10000));
    QVERIFY(!evaluate(QStringLiteral("messageDialog.visible")).toBool());

    // The back end orders once: the farewell beat's answer no longer carries the order.
    QObject::connect(m_api, &QmlApiAdapter::vpnForceDisconnected, this,
                     [this]() { m_rig.routes().setDeviceStatus(DeviceStatus()); });
    QSignalSpy signedOut(m_api, &QmlApiAdapter::loginStateChanged);
    m_rig.routes().setDeviceStatus({QStringLiteral("active"), true, kKickedText});

    QTRY_VERIFY_WITH_TIMEOUT(evaluate(QStringLiteral("messageDialog.opened")).toBool(), 5000);
    QCOMPARE(evaluate(QStringLiteral("messageDialog.titleText")).toString(), QStringLiteral("警告"));
    QCOMPARE(evaluate(QStringLiteral("messageDialog.messageText")).toString(), kKickedText);
    QCOMPARE(VpnConnectionService::instance()->state(), VpnConnectionService::Disconnected);
    QVERIFY(evaluate(QStringLiteral("stackView.currentItem instanceof ScreenWrapper")).toBool());

    QVERIFY(m_rig.client().shoot(QStringLiteral("forced-disconnect.png")));

    // The text says the account was taken over elsewhere: the client signs out a second later.
    QTRY_VERIFY_WITH_TIMEOUT(signedOut.contains(QVariantList{false}), 3000);
    QVERIFY(!m_api->isLoggedIn());
    QVERIFY(evaluate(QStringLiteral("messageDialog.opened")).toBool());
}

QTEST_MAIN(WindowEndToEndTest)
#include "tst_windowendtoend.moc"
