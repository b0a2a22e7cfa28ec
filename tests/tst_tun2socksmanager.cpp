#include "api/vpn/Tun2SocksManager.h"
#include "support/LogCapture.h"
#include "support/SignalWait.h"
#include "support/StandInMachine.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <memory>

using Norvane::Api::Vpn::NetworkInterfaceEntry;
using Norvane::Api::Vpn::Tun2SocksManager;

namespace {

const QString kUrl = QStringLiteral("socks://127.0.0.1:10315");
const QString kStartFailed = QStringLiteral("启动tun2socks进程失败");
const QString kCrashed = QStringLiteral("tun2socks进程崩溃");
const QStringList kRoutes{"1.0.0.0/8",  "2.0.0.0/7",  "4.0.0.0/6",   "8.0.0.0/5",    "16.0.0.0/4",
                          "32.0.0.0/3", "64.0.0.0/2", "128.0.0.0/1", "198.18.0.0/15"};

const QString kSetAddress = QStringLiteral(
    "netsh interface ipv4 set address name=\"wintun\" source=static addr=192.168.123.1 mask=255.255.255.0");
const QString kSetDns = QStringLiteral(
    "netsh interface ipv4 set dnsservers name=\"wintun\" static address=8.8.8.8 register=none validate=no");
const QString kDnsDhcp = QStringLiteral("netsh interface ipv4 set dnsservers name=\"wintun\" dhcp");
const QString kAddressDhcp = QStringLiteral("netsh interface ipv4 set address name=\"wintun\" source=dhcp");

QString addRoute(const QString &prefix)
{
    return "netsh interface ipv4 add route " + prefix + " \"wintun\" 192.168.123.1 metric=1";
}

QString deleteRoute(const QString &prefix)
{
    return "netsh interface ipv4 delete route " + prefix + " \"wintun\"";
}

QStringList startCommands()
{
    QStringList lines{kSetAddress, kSetDns};
    for (const QString &route : kRoutes)
        lines.append(addRoute(route));
    return lines;
}

QStringList stopCommands()
{
    QStringList lines;
    for (const QString &route : kRoutes)
        lines.append(deleteRoute(route));
    return lines << kDnsDhcp << kAddressDhcp;
}

QList<NetworkInterfaceEntry> ordinaryMachine()
{
    return {{"lo", true, true}, {"Wintun Userspace", true, false}, {"eth-down", false, false}, {"eth0", true, false}};
}

QStringList texts(const QSignalSpy &spy)
{
    QStringList values;
    for (const QList<QVariant> &arguments : spy)
        values.append(arguments.first().toString());
    return values;
}

QJsonObject wintunSettings(const StandInMachine &machine)
{
    return machine.state().value("interfaces").toObject().value("wintun").toObject();
}

} // namespace

class TestTun2SocksManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void readsItsDefaults();
    void startAndStopWithTheRealProgram();
    void proxyArgument_data();
    void proxyArgument();
    void outgoingInterface_data();
    void outgoingInterface();
    void failedStepTakesBackWhatItSet_data();
    void failedStepTakesBackWhatItSet();
    void hangingCommandIsEndedAtTheTimeout();
    void programThatDoesNotRun_data();
    void programThatDoesNotRun();
    void programEndsByItself_data();
    void programEndsByItself();
    void startAfterTheProgramEndedClearsItsLeftovers();
    void unresponsiveProgramIsKilled();
    void programEndedByTheStopsSignalIsNoCrash();
    void destructionStopsTheTunnel();
    void stopBeforeStartRunsNothing();

private:
    // A tunnel program that records its arguments, then runs the given shell commands.
    QString fakeProgram(const QString &body, bool executable = true);
    QStringList fakeArguments() const;
    std::unique_ptr<Tun2SocksManager> makeManager(const QString &resources = QString());

    QTemporaryDir m_dir;
    std::unique_ptr<StandInMachine> m_machine;
};

void TestTun2SocksManager::initTestCase()
{
    TestEnvironment::isolate();
    QVERIFY(m_dir.isValid());
    QVERIFY2(QFileInfo(TestEnvironment::helperPath("resources/vpn/x32/tun2socks.exe")).isExecutable(),
             "the tunnel program's stand-in is not built");
}

void TestTun2SocksManager::cleanup()
{
    qunsetenv("NORVANE_PLATFORM_FAIL");
    qunsetenv("NORVANE_PLATFORM_HANG");
    m_machine.reset();
}

QString TestTun2SocksManager::fakeProgram(const QString &body, bool executable)
{
    const QString resources = m_dir.filePath(QStringLiteral("fake-resources"));
    QDir().mkpath(resources + QStringLiteral("/x32"));
    QFile program(resources + QStringLiteral("/x32/tun2socks.exe"));
    if (!program.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write the fake tunnel program");
    program.write("#!/bin/sh\necho \"$@\" > '" + m_dir.filePath("arguments").toUtf8() + "'\n" + body.toUtf8() + "\n");
    program.close();
    QFileDevice::Permissions permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (executable)
        permissions |= QFileDevice::ExeOwner;
    program.setPermissions(permissions);
    return resources;
}

QStringList TestTun2SocksManager::fakeArguments() const
{
    QFile file(m_dir.filePath("arguments"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).trimmed().split(QLatin1Char(' '));
}

std::unique_ptr<Tun2SocksManager> TestTun2SocksManager::makeManager(const QString &resources)
{
    m_machine = std::make_unique<StandInMachine>();
    QFile::remove(m_dir.filePath("arguments"));
    auto manager = std::make_unique<Tun2SocksManager>();
    if (!resources.isEmpty())
        manager->setResourcePath(resources);
    manager->setStartPause(50);
    manager->setInterfaceLister(&ordinaryMachine);
    return manager;
}

void TestTun2SocksManager::readsItsDefaults()
{
    LogCapture log;
    Tun2SocksManager manager;
    QCOMPARE(manager.startPause(), 2000);
    QCOMPARE(manager.commandTimeout(), 10000);
    QCOMPARE(manager.terminateTimeout(), 3000);
    QCOMPARE(Tun2SocksManager::kStartTimeoutMs, 5000);
    QCOMPARE(Tun2SocksManager::kKillTimeoutMs, 1000);
    QCOMPARE(manager.resourcePath(), QCoreApplication::applicationDirPath() + "/resources/vpn");
    QVERIFY(log.contains("[Tun2SocksManager] 初始化完成，资源路径:"));

    manager.setStartPause(0);
    manager.setCommandTimeout(-1);
    manager.setTerminateTimeout(0);
    QCOMPARE(manager.startPause(), 2000);
    QCOMPARE(manager.commandTimeout(), 10000);
    QCOMPARE(manager.terminateTimeout(), 3000);
}

void TestTun2SocksManager::startAndStopWithTheRealProgram()
{
    auto manager = makeManager();
    QSignalSpy started(manager.get(), &Tun2SocksManager::started);
    QSignalSpy stopped(manager.get(), &Tun2SocksManager::stopped);
    QSignalSpy errors(manager.get(), &Tun2SocksManager::error);
    QSignalSpy output(manager.get(), &Tun2SocksManager::logOutput);
    LogCapture log;

    QVERIFY(manager->start(kUrl));
    QCOMPARE(started.count(), 1);
    QCOMPARE(m_machine->commandLines(), startCommands());
    const QJsonArray routes = m_machine->state().value("routes").toArray();
    QCOMPARE(routes.size(), kRoutes.size());
    QCOMPARE(routes.first().toObject(), (QJsonObject{{"prefix", "1.0.0.0/8"}, {"interface", "wintun"},
                                                     {"nexthop", "192.168.123.1"}, {"metric", 1}}));
    QCOMPARE(wintunSettings(*m_machine).value("address").toObject().value("address").toString(), "192.168.123.1");
    QCOMPARE(wintunSettings(*m_machine).value("dns").toObject().value("address").toString(), "8.8.8.8");
    QTRY_COMPARE(texts(output), QStringList{"[tun2socks] tun2socks started: device wintun, "
                                            "proxy socks5://127.0.0.1:10315, interface eth0"});
    QVERIFY(log.contains("[Tun2SocksManager] 路由规则添加完成: 9 / 9"));
    QVERIFY(log.contains("[Tun2SocksManager] VPN隧道启动成功"));

    QVERIFY(!manager->start(kUrl));
    QVERIFY(log.contains("[Tun2SocksManager] tun2socks已经在运行中"));
    QCOMPARE(m_machine->commandLines().size(), startCommands().size());

    manager->stop();
    QCOMPARE(m_machine->commandLines(), startCommands() + stopCommands());
    QCOMPARE(m_machine->state().value("routes").toArray().size(), 0);
    QCOMPARE(wintunSettings(*m_machine).value("address").toObject().value("source").toString(), "dhcp");
    QCOMPARE(wintunSettings(*m_machine).value("dns").toObject().value("source").toString(), "dhcp");
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(texts(errors), QStringList());
    QVERIFY(log.contains("[Tun2SocksManager] VPN隧道已停止"));

    // Stopped once, a second stop has nothing left to do.
    manager->stop();
    QCOMPARE(m_machine->commandLines().size(), (startCommands() + stopCommands()).size());
}

void TestTun2SocksManager::proxyArgument_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("argument");
    QTest::newRow("socks becomes socks5") << kUrl << "socks5://127.0.0.1:10315";
    QTest::newRow("socks5 unchanged") << "socks5://127.0.0.1:1080" << "socks5://127.0.0.1:1080";
    QTest::newRow("upper case unchanged") << "SOCKS://127.0.0.1:10315" << "SOCKS://127.0.0.1:10315";
}

void TestTun2SocksManager::proxyArgument()
{
    QFETCH(QString, url);
    QFETCH(QString, argument);
    auto manager = makeManager(fakeProgram(QStringLiteral("exec sleep 30")));
    QVERIFY(manager->start(url));
    QTRY_COMPARE(fakeArguments(), (QStringList{"-device", "wintun", "-proxy", argument, "-interface", "eth0"}));
    manager->stop();
}

void TestTun2SocksManager::outgoingInterface_data()
{
    QTest::addColumn<QList<NetworkInterfaceEntry>>("interfaces");
    QTest::addColumn<QString>("chosen");
    QTest::newRow("first usable wins")
        << QList<NetworkInterfaceEntry>{{"lo", true, true}, {"enp1", true, false}, {"enp2", true, false}} << "enp1";
    QTest::newRow("down skipped")
        << QList<NetworkInterfaceEntry>{{"enp1", false, false}, {"wlan0", true, false}} << "wlan0";
    QTest::newRow("only tunnels, any case")
        << QList<NetworkInterfaceEntry>{{"wintun", true, false}, {"WINTUN2", true, false}, {"my-WinTun", true, false}}
        << "以太网";
    QTest::newRow("only loopback and down") << QList<NetworkInterfaceEntry>{{"lo", true, true}, {"eth0", false, false}}
                                            << "以太网";
    QTest::newRow("none") << QList<NetworkInterfaceEntry>{} << "以太网";
}

void TestTun2SocksManager::outgoingInterface()
{
    QFETCH(QList<NetworkInterfaceEntry>, interfaces);
    QFETCH(QString, chosen);
    auto manager = makeManager(fakeProgram(QStringLiteral("exec sleep 30")));
    manager->setInterfaceLister([interfaces] { return interfaces; });
    LogCapture log;
    QVERIFY(manager->start(kUrl));
    QTRY_COMPARE(fakeArguments().value(5), chosen);
    QCOMPARE(log.contains("[Tun2SocksManager] 未找到合适的网络接口，使用默认值"), chosen == "以太网");
    manager->stop();
}

void TestTun2SocksManager::failedStepTakesBackWhatItSet_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("commands");

    QTest::newRow("address") << "netsh interface ipv4 set address" << "配置wintun IP地址失败"
                             << QStringList{kSetAddress};
    QTest::newRow("dns") << "netsh interface ipv4 set dnsservers * static" << "配置wintun DNS失败"
                         << QStringList{kSetAddress, kSetDns, kAddressDhcp};
    QStringList routeFailure = startCommands();
    for (const QString &route : kRoutes) {
        if (route != "4.0.0.0/6")
            routeFailure.append(deleteRoute(route));
    }
    QTest::newRow("third route") << "netsh interface ipv4 add route 4.0.0.0/6" << "添加路由规则失败"
                                 << (routeFailure << kDnsDhcp << kAddressDhcp);
}

void TestTun2SocksManager::failedStepTakesBackWhatItSet()
{
    QFETCH(QString, rule);
    QFETCH(QString, message);
    QFETCH(QStringList, commands);
    auto manager = makeManager();
    qputenv("NORVANE_PLATFORM_FAIL", rule.toUtf8());
    QSignalSpy errors(manager.get(), &Tun2SocksManager::error);
    QSignalSpy stopped(manager.get(), &Tun2SocksManager::stopped);
    LogCapture log;

    QVERIFY(!manager->start(kUrl));
    QCOMPARE(texts(errors), QStringList{message});
    QCOMPARE(stopped.count(), 1);
    QVERIFY(log.contains("[Tun2SocksManager] tun2socks进程已停止"));
    // Nothing the start set is left pointing into a tunnel that is gone.
    QCOMPARE(m_machine->commandLines(), commands);
    QCOMPARE(m_machine->state().value("routes").toArray().size(), 0);
    if (rule.contains("route"))
        QVERIFY(log.contains("[Tun2SocksManager] 路由规则添加完成: 8 / 9"));

    // The failed start left the manager stopped and startable.
    qunsetenv("NORVANE_PLATFORM_FAIL");
    manager->stop();
    QCOMPARE(m_machine->commandLines(), commands);
    QVERIFY(manager->start(kUrl));
    manager->stop();
    QCOMPARE(m_machine->commandLines(), commands + startCommands() + stopCommands());
}

void TestTun2SocksManager::hangingCommandIsEndedAtTheTimeout()
{
    auto manager = makeManager();
    manager->setCommandTimeout(300);
    qputenv("NORVANE_PLATFORM_HANG", "netsh interface ipv4 set dnsservers * static");
    QSignalSpy errors(manager.get(), &Tun2SocksManager::error);
    LogCapture log;

    QVERIFY(!manager->start(kUrl));
    QVERIFY(log.contains("[Tun2SocksManager] 命令执行超时: \"netsh\""));
    QCOMPARE(texts(errors), QStringList{"配置wintun DNS失败"});
    QCOMPARE(m_machine->commandLines(), (QStringList{kSetAddress, kSetDns, kAddressDhcp}));
    const QString hungPid = QString::number(m_machine->calls().at(1).value("pid").toInt());
    QVERIFY(!QFileInfo::exists("/proc/" + hungPid));
}

void TestTun2SocksManager::programThatDoesNotRun_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("executable");
    QTest::addColumn<QStringList>("errorTexts");
    QTest::addColumn<int>("stoppedCount");
    QTest::addColumn<QString>("logLine");

    QTest::newRow("missing") << QString() << false << QStringList{kStartFailed} << 0
                             << "tun2socks可执行文件不存在: " + m_dir.filePath("fake-resources/x32/tun2socks.exe");
    QTest::newRow("never starts") << "exec sleep 30" << false
                                  << QStringList{"tun2socks启动失败，请检查文件是否存在", kStartFailed} << 0
                                  << "[Tun2SocksManager] tun2socks启动超时";
    QTest::newRow("exits at once") << "echo 'ERROR: no adapter' >&2; exit 2" << true << QStringList{kStartFailed} << 1
                                   << "[tun2socks错误] \"ERROR: no adapter\"";
    QTest::newRow("crashes at once") << "kill -9 $$" << true << QStringList{kCrashed, kCrashed, kStartFailed} << 1
                                     << "[Tun2SocksManager] tun2socks启动后立即退出";
}

void TestTun2SocksManager::programThatDoesNotRun()
{
    QFETCH(QString, script);
    QFETCH(bool, executable);
    QFETCH(QStringList, errorTexts);
    QFETCH(int, stoppedCount);
    QFETCH(QString, logLine);

    QFile::remove(m_dir.filePath("fake-resources/x32/tun2socks.exe"));
    const QString resources = script.isNull() ? m_dir.filePath("fake-resources") : fakeProgram(script, executable);
    auto manager = makeManager(resources);
    QSignalSpy errors(manager.get(), &Tun2SocksManager::error);
    QSignalSpy stopped(manager.get(), &Tun2SocksManager::stopped);
    LogCapture log;

    QVERIFY(!manager->start(kUrl));
    QCOMPARE(texts(errors), errorTexts);
    QCOMPARE(stopped.count(), stoppedCount);
    QVERIFY2(log.contains(logLine), qPrintable(log.messages().join('\n')));
    QVERIFY(log.contains("[Tun2SocksManager] 启动tun2socks进程失败"));
    QCOMPARE(m_machine->commandLines(), QStringList());
}

void TestTun2SocksManager::programEndsByItself_data()
{
    QTest::addColumn<QString>("ending");
    QTest::addColumn<QStringList>("errorTexts");
    QTest::newRow("normal exit") << "sleep 0.6; exit 3" << QStringList();
    QTest::newRow("crash") << "sleep 0.6; kill -9 $$" << QStringList{kCrashed, kCrashed};
}

void TestTun2SocksManager::programEndsByItself()
{
    QFETCH(QString, ending);
    QFETCH(QStringList, errorTexts);
    auto manager = makeManager(fakeProgram(ending));
    QSignalSpy errors(manager.get(), &Tun2SocksManager::error);
    QSignalSpy stopped(manager.get(), &Tun2SocksManager::stopped);

    QVERIFY(manager->start(kUrl));
    QVERIFY(waitForEmissions(stopped));
    QCOMPARE(texts(errors), errorTexts);
    QCOMPARE(m_machine->commandLines(), startCommands());
    QCOMPARE(m_machine->state().value("routes").toArray().size(), kRoutes.size());

    // The routes still point into the adapter until a stop takes them back.
    manager->stop();
    QCOMPARE(m_machine->commandLines(), startCommands() + stopCommands());
    QCOMPARE(m_machine->state().value("routes").toArray().size(), 0);
    QCOMPARE(stopped.count(), 1);
}

void TestTun2SocksManager::startAfterTheProgramEndedClearsItsLeftovers()
{
    auto manager = makeManager(fakeProgram(QStringLiteral("sleep 0.6; exit 0")));
    QSignalSpy stopped(manager.get(), &Tun2SocksManager::stopped);
    QVERIFY(manager->start(kUrl));
    QVERIFY(waitForEmissions(stopped));

    LogCapture log;
    QVERIFY(manager->start(kUrl));
    QVERIFY(log.contains("[Tun2SocksManager] 清除上次隧道遗留的配置"));
    QCOMPARE(m_machine->commandLines(), startCommands() + stopCommands() + startCommands());
    QCOMPARE(m_machine->state().value("routes").toArray().size(), kRoutes.size());
    manager->stop();
}

void TestTun2SocksManager::unresponsiveProgramIsKilled()
{
    // An ignored SIGTERM stays ignored across exec.
    auto manager = makeManager(fakeProgram(QStringLiteral("trap '' TERM; exec sleep 30")));
    manager->setTerminateTimeout(200);
    QSignalSpy errors(manager.get(), &Tun2SocksManager::error);
    QSignalSpy stopped(manager.get(), &Tun2SocksManager::stopped);
    LogCapture log;

    QVERIFY(manager->start(kUrl));
    manager->stop();
    // The program had the shortened wait after its SIGTERM, not the default one.
    const auto asked = log.firstTimeOf(QStringLiteral("[Tun2SocksManager] 停止tun2socks进程"));
    const auto killed = log.firstTimeOf(QStringLiteral("[Tun2SocksManager] tun2socks进程未响应，强制终止"));
    QVERIFY(asked && killed);
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(*killed - *asked).count();
    QVERIFY2(waited >= 200 && waited < Tun2SocksManager::kTerminateTimeoutMs, qPrintable(QString::number(waited)));
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(texts(errors), (QStringList{kCrashed, kCrashed}));
    QCOMPARE(m_machine->commandLines(), startCommands() + stopCommands());
}

// A program that does not catch SIGTERM (one just started has not yet) ends by it, which
// QProcess calls a crash: the stop asked for that end, so no error is reported.
void TestTun2SocksManager::programEndedByTheStopsSignalIsNoCrash()
{
    auto manager = makeManager(fakeProgram(QStringLiteral("exec sleep 30")));
    QSignalSpy errors(manager.get(), &Tun2SocksManager::error);
    QSignalSpy stopped(manager.get(), &Tun2SocksManager::stopped);

    QVERIFY(manager->start(kUrl));
    manager->stop();
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(texts(errors), QStringList());
    QCOMPARE(m_machine->commandLines(), startCommands() + stopCommands());
}

void TestTun2SocksManager::destructionStopsTheTunnel()
{
    auto manager = makeManager();
    QVERIFY(manager->start(kUrl));
    LogCapture log;
    manager.reset();
    QCOMPARE(m_machine->commandLines(), startCommands() + stopCommands());
    QVERIFY(log.contains("[Tun2SocksManager] 停止VPN隧道"));
    QVERIFY(log.contains("[Tun2SocksManager] tun2socks进程已退出, 退出码: 0 , 状态: 正常"));
}

void TestTun2SocksManager::stopBeforeStartRunsNothing()
{
    auto manager = makeManager();
    QSignalSpy stopped(manager.get(), &Tun2SocksManager::stopped);
    LogCapture log;
    manager->stop();
    QCOMPARE(log.messages(), QStringList());
    QCOMPARE(stopped.count(), 0);
    QCOMPARE(m_machine->commandLines(), QStringList());
}

QTEST_GUILESS_MAIN(TestTun2SocksManager)
#include "tst_tun2socksmanager.moc"
