#include "api/vpn/Tun2SocksManager.h"
#include "support/LogCapture.h"
#include "support/StandInMachine.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using Norvane::Api::Vpn::NetworkInterfaceFacts;
using Norvane::Api::Vpn::Tun2SocksManager;

namespace {

const QString kUrl = QStringLiteral("socks://127.0.0.1:10315");
const QStringList kRoutes{"1.0.0.0/8",  "2.0.0.0/7",  "4.0.0.0/6",   "8.0.0.0/5",    "16.0.0.0/4",
                          "32.0.0.0/3", "64.0.0.0/2", "128.0.0.0/1", "198.18.0.0/15"};

const QString kSetAddress = QStringLiteral(
    "netsh interface ipv4 set address name=\"wintun\" source=static addr=192.168.123.1 mask=255.255.255.0");
const QString kSetDns = QStringLiteral(
    "netsh interface ipv4 set dnsservers name=\"wintun\" static address=8.8.8.8 register=none validate=no");
const QString kDnsDhcp = QStringLiteral("netsh interface ipv4 set dnsservers name=\"wintun\" dhcp");
const QString kAddressDhcp = QStringLiteral("netsh interface ipv4 set address name=\"wintun\" source=dhcp");

QStringList startCommands()
{
    QStringList lines{kSetAddress, kSetDns};
    for (const QString &route : kRoutes)
        lines.append("netsh interface ipv4 add route " + route + " \"wintun\" 192.168.123.1 metric=1");
    return lines;
}

QStringList stopCommands()
{
    QStringList lines;
    for (const QString &route : kRoutes)
        lines.append("netsh interface ipv4 delete route " + route + " \"wintun\"");
    return lines << kDnsDhcp << kAddressDhcp;
}

QList<NetworkInterfaceFacts> ordinaryMachine()
{
    return {{"lo", true, true}, {"Wintun Userspace", true, false}, {"eth-down", false, false}, {"eth0", true, false}};
}

} // namespace

class TestTun2SocksManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void defaults();
    void startAndStopWithTheRealProgram();
    void proxyArgument_data();
    void proxyArgument();
    void outgoingInterface_data();
    void outgoingInterface();
    void failedStepTakesEverythingBack_data();
    void failedStepTakesEverythingBack();
    void missingProgram();
    void programEndsByItself_data();
    void programEndsByItself();
    void stopBeforeStartRunsNothing();

private:
    // A tunnel program that records its arguments, then runs the given shell commands.
    QString fakeProgram(const QString &body);
    QStringList fakeArguments() const;
    std::unique_ptr<Tun2SocksManager> makeManager(const QString &resources = QString());

    QTemporaryDir m_dir;
    std::unique_ptr<StandInMachine> m_machine;
};

void TestTun2SocksManager::initTestCase()
{
    TestEnvironment::isolate();
    QVERIFY(m_dir.isValid());
}

void TestTun2SocksManager::cleanup()
{
    qunsetenv("NORVANE_PLATFORM_FAIL");
    m_machine.reset();
}

QString TestTun2SocksManager::fakeProgram(const QString &body)
{
    const QString resources = m_dir.filePath(QStringLiteral("fake-resources"));
    QDir().mkpath(resources + QStringLiteral("/x32"));
    QFile program(resources + QStringLiteral("/x32/tun2socks.exe"));
    program.open(QIODevice::WriteOnly | QIODevice::Truncate);
    program.write("#!/bin/sh\necho \"$@\" > '" + m_dir.filePath("arguments").toUtf8() + "'\n" + body.toUtf8() + "\n");
    program.close();
    program.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
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

void TestTun2SocksManager::defaults()
{
    Tun2SocksManager manager;
    QCOMPARE(manager.startPause(), 2000);
    QCOMPARE(manager.resourcePath(), QCoreApplication::applicationDirPath() + "/resources/vpn");
    QCOMPARE(manager.routes(), kRoutes);
    QCOMPARE(Tun2SocksManager::kStartTimeoutMs, 5000);
    QCOMPARE(Tun2SocksManager::kCommandTimeoutMs, 10000);
}

void TestTun2SocksManager::startAndStopWithTheRealProgram()
{
    auto manager = makeManager();
    QSignalSpy started(manager.get(), &Tun2SocksManager::started);
    QSignalSpy stopped(manager.get(), &Tun2SocksManager::stopped);
    QSignalSpy errors(manager.get(), &Tun2SocksManager::error);
    LogCapture log;

    QVERIFY(manager->start(kUrl));
    QCOMPARE(started.count(), 1);
    QCOMPARE(m_machine->commandLines(), startCommands());
    QCOMPARE(m_machine->state().value("routes").toArray().size(), kRoutes.size());
    QVERIFY(log.contains(QStringLiteral("[Tun2SocksManager] VPN隧道启动成功")));
    QVERIFY(!manager->start(kUrl));
    QVERIFY(log.contains(QStringLiteral("[Tun2SocksManager] tun2socks已经在运行中")));

    manager->stop();
    QCOMPARE(m_machine->commandLines(), startCommands() + stopCommands());
    QCOMPARE(m_machine->state().value("routes").toArray().size(), 0);
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(errors.count(), 0);
    QVERIFY(log.contains(QStringLiteral("[Tun2SocksManager] VPN隧道已停止")));
}

void TestTun2SocksManager::proxyArgument_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("argument");
    QTest::newRow("socks") << kUrl << "socks5://127.0.0.1:10315";
    QTest::newRow("socks5 unchanged") << "socks5://127.0.0.1:1080" << "socks5://127.0.0.1:1080";
    QTest::newRow("upper case unchanged") << "SOCKS://127.0.0.1:10315" << "SOCKS://127.0.0.1:10315";
}

void TestTun2SocksManager::proxyArgument()
{
    QFETCH(QString, url);
    QFETCH(QString, argument);
    auto manager = makeManager(fakeProgram(QStringLiteral("exec sleep 30")));
    QVERIFY(manager->start(url));
    QTRY_COMPARE(fakeArguments(),
                 (QStringList{"-device", "wintun", "-proxy", argument, "-interface", "eth0"}));
    manager->stop();
}

void TestTun2SocksManager::outgoingInterface_data()
{
    QTest::addColumn<QList<NetworkInterfaceFacts>>("interfaces");
    QTest::addColumn<QString>("chosen");
    QTest::newRow("first usable wins")
        << QList<NetworkInterfaceFacts>{{"lo", true, true}, {"enp1", true, false}, {"enp2", true, false}} << "enp1";
    QTest::newRow("down skipped")
        << QList<NetworkInterfaceFacts>{{"enp1", false, false}, {"wlan0", true, false}} << "wlan0";
    QTest::newRow("only tunnels, any case")
        << QList<NetworkInterfaceFacts>{{"wintun", true, false}, {"WINTUN2", true, false}, {"my-WinTun", true, false}}
        << "以太网";
    QTest::newRow("none") << QList<NetworkInterfaceFacts>{} << "以太网";
}

void TestTun2SocksManager::outgoingInterface()
{
    QFETCH(QList<NetworkInterfaceFacts>, interfaces);
    QFETCH(QString, chosen);
    auto manager = makeManager(fakeProgram(QStringLiteral("exec sleep 30")));
    manager->setInterfaceLister([interfaces] { return interfaces; });
    QVERIFY(manager->start(kUrl));
    QTRY_COMPARE(fakeArguments().value(5), chosen);
    manager->stop();
}

void TestTun2SocksManager::failedStepTakesEverythingBack_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("startCalls");
    QTest::newRow("address") << "netsh interface ipv4 set address" << "配置wintun IP地址失败" << 1;
    QTest::newRow("dns") << "netsh interface ipv4 set dnsservers * static" << "配置wintun DNS失败" << 2;
    QTest::newRow("third route") << "netsh interface ipv4 add route 4.0.0.0/6" << "添加路由规则失败" << 11;
}

void TestTun2SocksManager::failedStepTakesEverythingBack()
{
    QFETCH(QString, rule);
    QFETCH(QString, message);
    QFETCH(int, startCalls);
    auto manager = makeManager();
    qputenv("NORVANE_PLATFORM_FAIL", rule.toUtf8());
    QSignalSpy errors(manager.get(), &Tun2SocksManager::error);
    QSignalSpy stopped(manager.get(), &Tun2SocksManager::stopped);
    LogCapture log;

    QVERIFY(!manager->start(kUrl));
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.first().first().toString(), message);
    QCOMPARE(stopped.count(), 1);
    // Nothing the start set up is left pointing into a tunnel that is gone.
    const QStringList lines = m_machine->commandLines();
    QCOMPARE(lines.mid(0, startCalls), startCommands().mid(0, startCalls));
    QCOMPARE(lines.mid(startCalls), stopCommands());
    QCOMPARE(m_machine->state().value("routes").toArray().size(), 0);
    if (startCalls == 11)
        QVERIFY(log.contains(QStringLiteral("[Tun2SocksManager] 路由规则添加完成: 8 / 9")));

    // The failed start left the manager stopped and startable.
    qunsetenv("NORVANE_PLATFORM_FAIL");
    manager->stop();
    QCOMPARE(m_machine->commandLines().size(), lines.size());
    QVERIFY(manager->start(kUrl));
    manager->stop();
}

void TestTun2SocksManager::missingProgram()
{
    auto manager = makeManager(m_dir.filePath(QStringLiteral("nothing-here")));
    QSignalSpy errors(manager.get(), &Tun2SocksManager::error);
    LogCapture log;
    QVERIFY(!manager->start(kUrl));
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.first().first().toString(), QStringLiteral("启动tun2socks进程失败"));
    QVERIFY(log.contains(QStringLiteral("tun2socks可执行文件不存在: %1/x32/tun2socks.exe")
                             .arg(m_dir.filePath(QStringLiteral("nothing-here")))));
    QCOMPARE(m_machine->commandLines(), QStringList());
}

void TestTun2SocksManager::programEndsByItself_data()
{
    QTest::addColumn<QString>("ending");
    QTest::addColumn<QStringList>("errorTexts");
    QTest::newRow("normal exit") << "sleep 0.5; exit 3" << QStringList();
    QTest::newRow("crash") << "sleep 0.5; kill -9 $$"
                           << QStringList{"tun2socks进程崩溃", "tun2socks进程崩溃"};
}

void TestTun2SocksManager::programEndsByItself()
{
    QFETCH(QString, ending);
    QFETCH(QStringList, errorTexts);
    auto manager = makeManager(fakeProgram(ending));
    QSignalSpy errors(manager.get(), &Tun2SocksManager::error);
    QSignalSpy stopped(manager.get(), &Tun2SocksManager::stopped);
    QVERIFY(manager->start(kUrl));
    QVERIFY(stopped.wait(5000));
    QStringList texts;
    for (const QList<QVariant> &arguments : std::as_const(errors))
        texts.append(arguments.first().toString());
    QCOMPARE(texts, errorTexts);
    QCOMPARE(m_machine->commandLines(), startCommands());

    // The routes still point into the adapter until the stop takes them back.
    manager->stop();
    QCOMPARE(m_machine->commandLines(), startCommands() + stopCommands());
    QCOMPARE(m_machine->state().value("routes").toArray().size(), 0);
}

void TestTun2SocksManager::stopBeforeStartRunsNothing()
{
    auto manager = makeManager();
    LogCapture log;
    manager->stop();
    QCOMPARE(log.messages(), QStringList());
    QCOMPARE(m_machine->commandLines(), QStringList());
}

QTEST_GUILESS_MAIN(TestTun2SocksManager)
#include "tst_tun2socksmanager.moc"
