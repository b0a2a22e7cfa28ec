#include "api/network/HttpClient.h"
#include "api/vpn/V2RayCore.h"
#include "app/SingleInstance.h"
#include "localbackend/ApiRoutes.h"
#include "localbackend/LocalBackendServer.h"
#include "platform/process/TiedChildProcess.h"
#include "support/ClientProgram.h"
#include "support/FixedReplyHttpServer.h"
#include "support/LocalPort.h"
#include "support/ProgramRun.h"
#include "support/ProxyCoreProcesses.h"
#include "support/ReplyCatcher.h"
#include "support/ServerLinks.h"
#include "support/Socks5HttpClient.h"
#include "support/StandInMachine.h"
#include "support/TestEnvironment.h"
#include "support/UnprivilegedUser.h"
#include "support/VirtualDisplay.h"
#include "support/VmessTestServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <csignal>
#include <memory>

using Norvane::App::SingleInstance;
using Norvane::LocalBackend::ApiRoutes;
using Norvane::LocalBackend::LocalBackendServer;

namespace {

constexpr quint16 kMixedPort = 10315;
constexpr quint16 kDnsPort = 16450;
const QString kTunnelOnlyName = QStringLiteral("tunnel-only.test");
const QByteArray kBody = "answered behind the vmess server";
const QString kUserServer = QStringLiteral("http=corp.example:8080");
const QString kUserVariable = QStringLiteral("http://corp.example:8080");
const QString kLocalServer = QStringLiteral("socks=127.0.0.1:10315");
const QString kStarted = QStringLiteral("应用程序启动成功！");
const QString kConnected = QStringLiteral("[ConnectButton] VPN连接成功");
const QString kDisconnected = QStringLiteral("[VpnConnectionService] VPN已断开");
// The connect control's centre on the home page of a signed-in free user with trial time, in a
// window at the screen's corner.
constexpr int kConnectControlX = 215;
constexpr int kConnectControlY = 443;

} // namespace

// The client program as a user runs it, in a real window: a second start while it is
// connected, the session ending it by a signal, and a start after it was killed.
class RunningClientTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void secondStartShowsTheRunningClientAndChangesNothing();
    void requestToShowRestoresAMinimizedWindow();
    void terminationRequestDisconnectsAndExitsInOrder_data();
    void terminationRequestDisconnectsAndExitsInOrder();
    void startAfterAKilledConnectedClientRepairs();
    void secondStartWithoutALockHandsOverAndChangesNothing_data();
    void secondStartWithoutALockHandsOverAndChangesNothing();

private:
    QString settingsFolder() const { return m_data.filePath(QStringLiteral("norvane")); }
    bool storeLogin(const QString &folder);
    // As the suite's user, or as `user` with that user's folders.
    void start(ProgramRun &run, bool onDisplay = true, const UnprivilegedUser *user = nullptr);
    // A client of the demo user, signed in by its stored login, connected by a click. Run as
    // `user`, the login must have been stored in that user's folder before.
    void startConnected(ProgramRun &run, const UnprivilegedUser *user = nullptr);
    void verifyTunnelAnswers();
    void verifyUserProxyBack();

    QTemporaryDir m_data;
    QTemporaryDir m_tmp;
    VirtualDisplay m_display;
    VmessTestServer m_vmessServer;
    FixedReplyHttpServer m_http{kBody};
    std::unique_ptr<LocalBackendServer> m_backend;
    std::unique_ptr<ApiRoutes> m_routes;
    std::unique_ptr<StandInMachine> m_machine;
    QList<ProgramRun *> m_runs;
    std::unique_ptr<UnprivilegedUser> m_user;
};

void RunningClientTest::initTestCase()
{
    TestEnvironment::isolate();
    QVERIFY(m_data.isValid() && m_tmp.isValid());
    // The guard's socket lies in the user's own folder under the temporary folder, which this
    // test shares with the clients.
    qputenv("TMPDIR", m_tmp.path().toLocal8Bit());
    QVERIFY(m_display.start());
    QVERIFY2(m_vmessServer.start(QStringLiteral("tcp"), QStringLiteral("/tunnel"), nullptr, kTunnelOnlyName),
             qPrintable(m_vmessServer.errorString()));
    QVERIFY(m_http.listen());
    m_backend = std::make_unique<LocalBackendServer>();
    m_routes = std::make_unique<ApiRoutes>(*m_backend);
    QVERIFY(m_backend->listen());
    Norvane::Api::Network::HttpClient::instance()->setBaseUrl(m_backend->baseUrl().toString());
}

void RunningClientTest::init()
{
    QVERIFY2(LocalPort::isFree(kMixedPort) && LocalPort::isFree(kDnsPort),
             "ports 10315 and 16450 of 127.0.0.1 are taken by another program");
    QDir(settingsFolder()).removeRecursively();
    QVERIFY(seedSingleServer(*m_routes, VmessTestServer::clientLink(m_vmessServer.port(), QStringLiteral("tcp"))));
    m_machine = std::make_unique<StandInMachine>();
    QVERIFY(m_machine->setProxyEnable(1));
    QVERIFY(m_machine->setProxyServer(kUserServer));
    QVERIFY(m_machine->setVariable("http_proxy", kUserVariable));
}

void RunningClientTest::cleanup()
{
    for (ProgramRun *run : std::as_const(m_runs)) {
        if (run->process.state() != QProcess::NotRunning) {
            run->process.kill();
            run->process.waitForFinished(5000);
        }
        if (QTest::currentTestFailed())
            qWarning().noquote() << "client output:\n" << run->output + QString::fromUtf8(run->process.readAll());
        delete run;
    }
    m_runs.clear();
    // A core whose client was killed ends with it; the next test needs the ports.
    QTRY_VERIFY_WITH_TIMEOUT(proxyCoreProcessIds().isEmpty(), 5000);
    m_machine.reset();
    m_user.reset();
}

// Signs the demo user in at the back end and leaves the settings file as a signed-in client does.
bool RunningClientTest::storeLogin(const QString &folder)
{
    const QString deviceId = QStringLiteral("windows_running_client_test");
    ReplyCatcher login;
    Norvane::Api::Network::HttpClient::instance()->postNoAuth(
        QStringLiteral("auth/login"),
        QJsonObject{{"email", "demo@norvane.local"}, {"password", "demo1234"}, {"device_id", deviceId},
                    {"device_name", "test"}, {"device_type", "windows"}},
        login.callback());
    if (!login.wait() || !login.last().isSuccess())
        return false;
    QDir().mkpath(folder);
    QSettings settings(folder + QStringLiteral("/norvane_settings.ini"), QSettings::IniFormat);
    settings.setValue(QStringLiteral("auth_token"), login.last().json.value("token").toString());
    settings.setValue(QStringLiteral("device_id"), deviceId);
    settings.setValue(QStringLiteral("user_info"),
                      QString::fromUtf8(QJsonDocument(login.last().json.value("data").toObject()).toJson(QJsonDocument::Compact)));
    settings.sync();
    return settings.status() == QSettings::NoError;
}

void RunningClientTest::start(ProgramRun &run, bool onDisplay, const UnprivilegedUser *user)
{
    QProcessEnvironment environment = user ? ClientProgram::environment(user->dataHome(), user->sharedTemp())
                                           : ClientProgram::environment(m_data.path(), m_tmp.path());
    environment.insert(QStringLiteral("NORVANE_API_BASE_URL"), m_backend->baseUrl().toString());
    if (onDisplay) {
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.insert(QStringLiteral("DISPLAY"), m_display.name());
    }
    run.process.setProcessEnvironment(environment);
    run.process.setProcessChannelMode(QProcess::MergedChannels);
    if (user)
        user->start(run.process, TestEnvironment::helperPath(QStringLiteral("norvane")), {});
    else
        Norvane::Platform::startTiedChild(run.process, TestEnvironment::helperPath(QStringLiteral("norvane")), {});
}

void RunningClientTest::startConnected(ProgramRun &run, const UnprivilegedUser *user)
{
    if (!user)
        QVERIFY(storeLogin(settingsFolder()));
    start(run, true, user);
    QVERIFY(run.waitFor(kStarted));
    // The home page follows the splash and proposes the seed's line; the click waits until the
    // page has come in, since the stack takes no clicks while it moves.
    QVERIFY(run.waitFor(QStringLiteral("📍 设置默认服务器:")));
    QVERIFY(run.waitFor(QStringLiteral("[App] 页面切换完成, 页面数: 1")));
    QVERIFY(m_display.click(kConnectControlX, kConnectControlY));
    QVERIFY(run.waitFor(QStringLiteral("[VPN连接] 处理连接请求")));
    QVERIFY(run.waitFor(kConnected));
    QCOMPARE(m_machine->internetSetting("ProxyServer"), StandInMachine::text(kLocalServer));
}

void RunningClientTest::verifyTunnelAnswers()
{
    QVERIFY(LocalPort::waitUntilServed(kMixedPort, 5000));
    const Socks5HttpClient::Result result = Socks5HttpClient::get(kMixedPort, kTunnelOnlyName, m_http.port());
    QVERIFY2(result.error.isEmpty(), qPrintable(result.error));
    QCOMPARE(result.body, kBody);
}

void RunningClientTest::verifyUserProxyBack()
{
    QCOMPARE(m_machine->internetSetting("ProxyEnable"), StandInMachine::dword(1));
    QCOMPARE(m_machine->internetSetting("ProxyServer"), StandInMachine::text(kUserServer));
    QCOMPARE(m_machine->state().value("environment").toObject(),
             (QJsonObject{{"http_proxy", kUserVariable}, {"https_proxy", ""}}));
}

void RunningClientTest::secondStartShowsTheRunningClientAndChangesNothing()
{
    auto *first = m_runs.emplace_back(new ProgramRun);
    startConnected(*first);
    if (QTest::currentTestFailed())
        return;
    const QList<qint64> cores = proxyCoreProcessIds(first->process.processId());
    QCOMPARE(cores.size(), 1);
    const QByteArray machineBefore = m_machine->stateBytes();
    const int callsBefore = m_machine->calls().size();
    const QByteArray settingsBefore = [&]() {
        QFile file(settingsFolder() + QStringLiteral("/norvane_settings.ini"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();

    auto *second = m_runs.emplace_back(new ProgramRun);
    QElapsedTimer clock;
    clock.start();
    start(*second);
    QVERIFY(second->waitForEnd(5000));
    QCOMPARE(second->process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->process.exitCode(), 0);
    QVERIFY2(second->output.contains(QStringLiteral("[SingleInstance] 已请求正在运行的客户端显示窗口, 本次启动结束")),
             qPrintable(second->output));
    QVERIFY(!second->output.contains(QStringLiteral("遗留的XRay进程")));
    QVERIFY(!second->output.contains(kStarted));
    QVERIFY(first->waitFor(QStringLiteral("[SingleInstance] 另一次启动请求显示窗口"), 5000));

    // The running client's connection is as it was: the same core, the tunnel, the proxy.
    QCOMPARE(proxyCoreProcessIds(first->process.processId()), cores);
    verifyTunnelAnswers();
    QCOMPARE(m_machine->stateBytes(), machineBefore);
    QCOMPARE(m_machine->calls().size(), callsBefore);
    QFile settings(settingsFolder() + QStringLiteral("/norvane_settings.ini"));
    QVERIFY(settings.open(QIODevice::ReadOnly));
    QCOMPARE(settings.readAll(), settingsBefore);
    first->output += QString::fromUtf8(first->process.readAll());
    QVERIFY(!first->output.contains(kDisconnected));
    QCOMPARE(first->process.state(), QProcess::Running);
}

// A later start's request reaches the guard of a running client, here this test itself, whose
// window was minimised.
void RunningClientTest::requestToShowRestoresAMinimizedWindow()
{
    QVERIFY(QDir().mkpath(settingsFolder()));
    SingleInstance instance(settingsFolder() + QStringLiteral("/norvane_instance.lock"));
    QVERIFY(instance.claim());

    QWindow window;
    window.resize(430, 880);
    window.showMinimized();
    QTRY_VERIFY(window.windowStates() & Qt::WindowMinimized);
    instance.setWindow(&window);

    auto *later = m_runs.emplace_back(new ProgramRun);
    start(*later, false);
    QVERIFY(later->waitForEnd(5000));
    QCOMPARE(later->process.exitCode(), 0);
    QTRY_VERIFY(!(window.windowStates() & Qt::WindowMinimized));
    QVERIFY(window.isVisible());
    QTRY_COMPARE(QGuiApplication::focusWindow(), &window);
    // The later start made nothing of its own: no settings file.
    QVERIFY(!QFile::exists(settingsFolder() + QStringLiteral("/norvane_settings.ini")));
}

void RunningClientTest::terminationRequestDisconnectsAndExitsInOrder_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void RunningClientTest::terminationRequestDisconnectsAndExitsInOrder()
{
    QFETCH(int, signalNumber);

    auto *client = m_runs.emplace_back(new ProgramRun);
    startConnected(*client);
    if (QTest::currentTestFailed())
        return;
    const QList<qint64> cores = proxyCoreProcessIds(client->process.processId());
    QCOMPARE(cores.size(), 1);
    QTRY_VERIFY(!m_routes->heartbeats().isEmpty());

    QCOMPARE(::kill(pid_t(client->process.processId()), signalNumber), 0);
    QVERIFY(client->waitForEnd(20000));
    QCOMPARE(client->process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(client->process.exitCode(), 0);
    QVERIFY(client->output.contains(QStringLiteral("窗口正在关闭，断开VPN连接...")));
    QVERIFY(client->output.contains(kDisconnected));

    verifyUserProxyBack();
    QCOMPARE(m_machine->state().value("winhttp").toObject(), (QJsonObject{{"proxy_server", kUserServer}}));
    QVERIFY(!isProcessAlive(cores.first()));
    QVERIFY(LocalPort::isFree(kMixedPort));
    QVERIFY(!QFile::exists(Norvane::Api::Vpn::V2RayCore::configFilePath()));
    QCOMPARE(m_routes->heartbeats().last().connectionStatus, QStringLiteral("disconnected"));
    QVERIFY(!QFile::exists(settingsFolder() + QStringLiteral("/norvane_instance.lock")));
}

void RunningClientTest::startAfterAKilledConnectedClientRepairs()
{
    auto *killed = m_runs.emplace_back(new ProgramRun);
    startConnected(*killed);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(::kill(pid_t(killed->process.processId()), SIGKILL), 0);
    QVERIFY(killed->waitForEnd(5000));
    QTRY_VERIFY_WITH_TIMEOUT(proxyCoreProcessIds().isEmpty(), 5000);
    // What the kill left: the guard, and the proxy pointing at the dead core.
    QVERIFY(QFile::exists(settingsFolder() + QStringLiteral("/norvane_instance.lock")));
    QCOMPARE(m_machine->internetSetting("ProxyServer"), StandInMachine::text(kLocalServer));

    auto *next = m_runs.emplace_back(new ProgramRun);
    start(*next, false);
    QVERIFY2(next->waitFor(kStarted), qPrintable(next->output));
    QVERIFY(!next->output.contains(QStringLiteral("[SingleInstance] 客户端已在运行")));
    verifyUserProxyBack();
    next->process.terminate();
    QVERIFY(next->waitForEnd(20000));
    QCOMPARE(next->process.exitCode(), 0);
}

void RunningClientTest::secondStartWithoutALockHandsOverAndChangesNothing_data()
{
    QTest::addColumn<bool>("rootOwned");
    QTest::newRow("data folder of mode 500") << false;
    QTest::newRow("data folder owned by root") << true;
}

// The lock cannot be made in a data folder the user may not write, which root does not see:
// the clients run as a user who is not root. A second start that took itself for the only
// client would repair: end the connected client's core, remove its configuration file and
// switch its proxy off.
void RunningClientTest::secondStartWithoutALockHandsOverAndChangesNothing()
{
    QFETCH(bool, rootOwned);
    const QString unavailable = UnprivilegedUser::unavailableReason();
    if (!unavailable.isEmpty())
        QSKIP(qPrintable(unavailable));
    m_user = std::make_unique<UnprivilegedUser>();
    const UnprivilegedUser &user = *m_user;
    QVERIFY(user.isValid());
    const QString dataFolder = user.dataHome() + QStringLiteral("/norvane");
    QVERIFY(storeLogin(dataFolder));
    if (!rootOwned)
        QVERIFY(UnprivilegedUser::give(dataFolder, user.uid()));
    QVERIFY(QFile::setPermissions(dataFolder, rootOwned ? QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                              | QFile::ReadOther | QFile::ExeOther
                                                        : QFile::ReadOwner | QFile::ExeOwner));
    QVERIFY(QFile::setPermissions(dataFolder + QStringLiteral("/norvane_settings.ini"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    // The platform's stand-ins, run by the user's clients, keep the machine's state here.
    QVERIFY(QFile::setPermissions(m_tmp.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                    | QFile::ExeOther));
    QVERIFY(UnprivilegedUser::give(m_machine->folder(), user.uid()));

    auto *first = m_runs.emplace_back(new ProgramRun);
    startConnected(*first, &user);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(first->output.contains(QStringLiteral("[SingleInstance] 无法创建实例锁文件")));
    const QList<qint64> cores = proxyCoreProcessIds(first->process.processId());
    QCOMPARE(cores.size(), 1);
    const QString config = QStringLiteral("%1/norvane-%2/norvane_config.json").arg(user.sharedTemp()).arg(user.uid());
    QVERIFY2(QFile::exists(config), qPrintable(config));
    const QByteArray machineBefore = m_machine->stateBytes();
    const int callsBefore = m_machine->calls().size();

    auto *second = m_runs.emplace_back(new ProgramRun);
    start(*second, false, &user);
    QVERIFY(second->waitForEnd(10000));
    QCOMPARE(second->process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->process.exitCode(), 0);
    QVERIFY2(second->output.contains(QStringLiteral("[SingleInstance] 已请求正在运行的客户端显示窗口, 本次启动结束")),
             qPrintable(second->output));
    QVERIFY(!second->output.contains(kStarted));
    QVERIFY(first->waitFor(QStringLiteral("[SingleInstance] 另一次启动请求显示窗口"), 5000));

    QCOMPARE(m_machine->stateBytes(), machineBefore);
    QCOMPARE(m_machine->calls().size(), callsBefore);
    QCOMPARE(m_machine->internetSetting("ProxyServer"), StandInMachine::text(kLocalServer));
    QVERIFY(isProcessAlive(cores.first()));
    QVERIFY(QFile::exists(config));
    verifyTunnelAnswers();
    QCOMPARE(first->process.state(), QProcess::Running);
}

QTEST_MAIN(RunningClientTest)
#include "tst_runningclient.moc"
