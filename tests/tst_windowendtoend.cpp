#include "api/bridge/QmlApiAdapter.h"
#include "api/network/HttpClient.h"
#include "api/services/ApiManager.h"
#include "api/services/HeartbeatService.h"
#include "api/services/VpnConnectionService.h"
#include "api/vpn/SystemProxyBackup.h"
#include "api/vpn/V2RayCore.h"
#include "localbackend/ApiRoutes.h"
#include "localbackend/LocalBackendServer.h"
#include "support/ClientWindow.h"
#include "support/LocalPort.h"
#include "support/ServerLinks.h"
#include "support/StandInMachine.h"
#include "support/TestEnvironment.h"

#include <QQuickWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Norvane::Api;
using Norvane::LocalBackend::ApiRoutes;
using Norvane::LocalBackend::DeviceStatus;
using Norvane::LocalBackend::LocalBackendServer;
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
    QVariant evaluate(const QString &expression) { return m_client->evaluate(expression); }

    QTemporaryDir m_tmp;
    std::unique_ptr<StandInMachine> m_machine;
    std::unique_ptr<LocalBackendServer> m_backend;
    std::unique_ptr<ApiRoutes> m_routes;
    std::unique_ptr<ClientWindow> m_client;
    QmlApiAdapter *m_api = nullptr;
    QQuickWindow *m_window = nullptr;
};

void WindowEndToEndTest::initTestCase()
{
    TestEnvironment::isolate();
    QVERIFY(m_tmp.isValid());
    qputenv("TMPDIR", m_tmp.path().toLocal8Bit());
    QVERIFY2(LocalPort::isFree(10315) && LocalPort::isFree(16450),
             "ports 10315 and 16450 of 127.0.0.1 are taken by another program");
    m_machine = std::make_unique<StandInMachine>();
    if (Vpn::SystemProxyBackup::isActive())
        Vpn::SystemProxyBackup::release();

    m_backend = std::make_unique<LocalBackendServer>();
    m_routes = std::make_unique<ApiRoutes>(*m_backend);
    QVERIFY(m_routes->setConfigValue(QStringLiteral("app_name"), kAppName));
    QVERIFY(m_backend->listen());
    Network::HttpClient::instance()->setBaseUrl(m_backend->baseUrl().toString());
    ApiManager::instance()->initialize([](bool) {});
    VpnConnectionService::instance()->proxyCore()->setConnectDelay(500);
    Services::HeartbeatService::instance()->setDefaultIntervalMs(200);

    m_client = std::make_unique<ClientWindow>();
    QVERIFY(m_client->open());
    m_api = m_client->api();
    m_window = m_client->window();
}

void WindowEndToEndTest::cleanupTestCase()
{
    VpnConnectionService::instance()->disconnect();
    m_client.reset();
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
    QVERIFY(signedIn.wait(5000));
    const QString link = firstListedServerLink();
    QVERIFY(!link.isEmpty());

    QSignalSpy connected(m_api, &QmlApiAdapter::vpnConnected);
    QVERIFY(m_api->connectVpn(1, link, false));
    QVERIFY(connected.wait(10000));
    QVERIFY(!evaluate(QStringLiteral("messageDialog.visible")).toBool());

    // The back end orders once: the farewell beat's answer no longer carries the order.
    QObject::connect(m_api, &QmlApiAdapter::vpnForceDisconnected, this,
                     [this]() { m_routes->setDeviceStatus(DeviceStatus()); });
    QSignalSpy signedOut(m_api, &QmlApiAdapter::loginStateChanged);
    m_routes->setDeviceStatus({QStringLiteral("active"), true, kKickedText});

    QTRY_VERIFY_WITH_TIMEOUT(evaluate(QStringLiteral("messageDialog.opened")).toBool(), 5000);
    QCOMPARE(evaluate(QStringLiteral("messageDialog.titleText")).toString(), QStringLiteral("警告"));
    QCOMPARE(evaluate(QStringLiteral("messageDialog.messageText")).toString(), kKickedText);
    QCOMPARE(VpnConnectionService::instance()->state(), VpnConnectionService::Disconnected);
    QVERIFY(evaluate(QStringLiteral("stackView.currentItem instanceof ScreenWrapper")).toBool());

    QVERIFY(m_client->shoot(QStringLiteral("forced-disconnect.png")));

    // The text says the account was taken over elsewhere: the client signs out a second later.
    QTRY_VERIFY_WITH_TIMEOUT(signedOut.contains(QVariantList{false}), 3000);
    QVERIFY(!m_api->isLoggedIn());
    QVERIFY(evaluate(QStringLiteral("messageDialog.opened")).toBool());
}

QTEST_MAIN(WindowEndToEndTest)
#include "tst_windowendtoend.moc"
