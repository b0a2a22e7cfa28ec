#include "api/vpn/V2RayCore.h"
#include "api/vpn/VmessParser.h"
#include "platform/process/TiedChildProcess.h"
#include "support/ClientProgram.h"
#include "support/LocalPort.h"
#include "support/ProxyCoreProcesses.h"
#include "support/StandInMachine.h"
#include "support/TestEnvironment.h"
#include "support/UnprivilegedUser.h"
#include "support/VmessTestServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>
#include <memory>

using Norvane::Api::Vpn::V2RayCore;

namespace {

constexpr quint16 kMixedPort = 10315;
constexpr quint16 kDnsPort = 16450;
const QString kLocalUrl = QStringLiteral("socks://127.0.0.1:10315");
const QString kLocalServer = QStringLiteral("socks=127.0.0.1:10315");
const QString kUserServer = QStringLiteral("http=corp.example:8080");
const QString kUserVariable = QStringLiteral("http://corp.example:8080");
const QString kStarted = QStringLiteral("应用程序启动成功！");

} // namespace

// A client that dies while connected, and the start of the client program after it: the core
// must not outlive the client, and the start must put right what the crash left behind.
class CrashRecoveryTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void clientKilledWhileConnectedLeavesNoCore_data();
    void clientKilledWhileConnectedLeavesNoCore();
    void startEndsTheCoreOfAnEarlierRun_data();
    void startEndsTheCoreOfAnEarlierRun();
    void startSwitchesOffAProxyLeftWithoutRecord_data();
    void startSwitchesOffAProxyLeftWithoutRecord();

private:
    void giveUserProxy();
    // A core of an earlier run serving the local port, recorded in the settings file.
    qint64 startRecordedCore(QProcess &core);
    void recordCore(qint64 pid);
    // Starts the client program and returns what it printed up to its start line.
    QString startClient(QProcess &client);
    // The client program or a probe, as the suite's user or as the user who is not root.
    void startProgram(QProcess &program, const QString &name, const QStringList &arguments = {});
    QString settingsPath() const;
    QString configPath() const;

    QTemporaryDir m_data;
    QTemporaryDir m_tmp;
    QString m_configPath;
    std::unique_ptr<StandInMachine> m_machine;
    std::unique_ptr<UnprivilegedUser> m_user;
    QList<qint64> m_probeCores;
};

void CrashRecoveryTest::initTestCase()
{
    TestEnvironment::isolate();
    QVERIFY(m_data.isValid());
    QVERIFY(m_tmp.isValid());
    qputenv("TMPDIR", m_tmp.path().toLocal8Bit());
    m_configPath = V2RayCore::configFilePath();
    QVERIFY2(m_configPath.startsWith(m_tmp.path() + QLatin1Char('/')), qPrintable(m_configPath));
    QVERIFY2(QFileInfo(proxyCorePath()).isExecutable(), qPrintable(proxyCorePath()));
    QVERIFY2(QFileInfo(QStringLiteral("/usr/bin/v2ray")).isExecutable(), "install the v2ray package");
}

void CrashRecoveryTest::init()
{
    QVERIFY2(LocalPort::isFree(kMixedPort) && LocalPort::isFree(kDnsPort),
             "ports 10315 and 16450 of 127.0.0.1 are taken by another program");
    QFile::remove(settingsPath());
    QFile::remove(configPath());
    m_machine = std::make_unique<StandInMachine>();
}

void CrashRecoveryTest::cleanup()
{
    // A core that outlived its probe after all must not keep the ports from the next suite.
    // Process ids come round again soon here: only a process still running this core is ended.
    const QList<qint64> running = proxyCoreProcessIds();
    for (const qint64 pid : std::as_const(m_probeCores)) {
        if (running.contains(pid))
            ::kill(pid_t(pid), SIGKILL);
    }
    m_probeCores.clear();
    m_machine.reset();
    m_user.reset();
    ::chmod(QFile::encodeName(m_tmp.path()).constData(), 0700);
}

QString CrashRecoveryTest::settingsPath() const
{
    const QString dataHome = m_user ? m_user->dataHome() : m_data.path();
    return dataHome + QStringLiteral("/norvane/norvane_settings.ini");
}

QString CrashRecoveryTest::configPath() const
{
    if (!m_user)
        return m_configPath;
    return QStringLiteral("%1/norvane-%2/norvane_config.json").arg(m_user->sharedTemp()).arg(m_user->uid());
}

void CrashRecoveryTest::startProgram(QProcess &program, const QString &name, const QStringList &arguments)
{
    if (m_user)
        ClientProgram::startAs(*m_user, program, name, arguments);
    else
        ClientProgram::start(program, name, m_data.path(), m_tmp.path(), arguments);
}

void CrashRecoveryTest::giveUserProxy()
{
    QVERIFY(m_machine->setProxyEnable(1));
    QVERIFY(m_machine->setProxyServer(kUserServer));
    QVERIFY(m_machine->setVariable("http_proxy", kUserVariable));
}

qint64 CrashRecoveryTest::startRecordedCore(QProcess &core)
{
    QFile config(configPath());
    if (!config.open(QIODevice::WriteOnly))
        return 0;
    const auto server =
        Norvane::Api::Vpn::VmessParser::parse(VmessTestServer::clientLink(LocalPort::pickFree(), QStringLiteral("tcp")));
    config.write(V2RayCore::generateConfig(server).toUtf8());
    config.close();
    Norvane::Platform::startTiedChild(core, proxyCorePath(), {"run", "-c", configPath(), "--disable-color"});
    if (!LocalPort::waitUntilServed(kMixedPort, 5000))
        return 0;
    recordCore(core.processId());
    return core.processId();
}

void CrashRecoveryTest::recordCore(qint64 pid)
{
    QSettings settings(settingsPath(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("proxy_core_pid"), QString::number(pid));
}

QString CrashRecoveryTest::startClient(QProcess &client)
{
    startProgram(client, QStringLiteral("norvane"));
    return ClientProgram::waitForLine(client, kStarted);
}

void CrashRecoveryTest::clientKilledWhileConnectedLeavesNoCore_data()
{
    QTest::addColumn<bool>("notRoot");
    QTest::newRow("the suite's user") << false;
    // Debian's v2ray carries a file capability, and an exec that gains one clears the
    // parent-death signal for a user who is not root. That user's temporary folder is shared
    // with the other users, one of whom left a file of the configuration's name there.
    QTest::newRow("a user who is not root, beside another user's file") << true;
}

void CrashRecoveryTest::clientKilledWhileConnectedLeavesNoCore()
{
    QFETCH(bool, notRoot);
    giveUserProxy();
    QString planted;
    if (notRoot) {
        if (!UnprivilegedUser::unavailableReason().isEmpty())
            QSKIP(qPrintable(UnprivilegedUser::unavailableReason()));
        m_user = std::make_unique<UnprivilegedUser>();
        QVERIFY(m_user->isValid());
        // The stand-in machine's files lie in the suite's temporary folder.
        QCOMPARE(::chmod(QFile::encodeName(m_tmp.path()).constData(), 0711), 0);
        QVERIFY(UnprivilegedUser::give(m_machine->folder(), m_user->uid()));
        planted = m_user->sharedTemp() + QStringLiteral("/norvane_config.json");
        QFile other(planted);
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write("{\"another user's\": true}");
        other.close();
        QVERIFY(other.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY(UnprivilegedUser::give(planted, UnprivilegedUser::kOtherUid));
    }

    QProcess probe;
    startProgram(probe, QStringLiteral("norvane_connected_client_probe"),
                 {VmessTestServer::clientLink(LocalPort::pickFree(), QStringLiteral("tcp"))});
    const QString connected = ClientProgram::waitForLine(probe, QStringLiteral("probe connected"));
    QVERIFY2(connected.contains(QStringLiteral("probe connected")), qPrintable(connected));
    const QList<qint64> cores = proxyCoreProcessIds(probe.processId());
    m_probeCores = cores;
    QCOMPARE(cores.size(), 1);
    QVERIFY(LocalPort::waitUntilServed(kMixedPort, 5000));
    QCOMPARE(m_machine->internetSetting("ProxyServer"), StandInMachine::text(kLocalServer));
    if (notRoot) {
        const QFileInfo config(configPath());
        QVERIFY2(config.exists(), qPrintable(configPath()));
        QCOMPARE(config.ownerId(), m_user->uid());
        QCOMPARE(QFileInfo(config.path()).ownerId(), m_user->uid());
        QCOMPARE(QFileInfo(config.path()).permissions() & 0x0077, QFile::Permissions());
    }

    QCOMPARE(::kill(pid_t(probe.processId()), SIGKILL), 0);
    QVERIFY(probe.waitForFinished(5000));
    QTRY_VERIFY_WITH_TIMEOUT(!isProcessAlive(cores.first()), 5000);
    QTRY_VERIFY(LocalPort::isFree(kMixedPort) && LocalPort::isFree(kDnsPort));

    // What the crash left: the core's record, its configuration file and the system proxy at
    // the dead port.
    QCOMPARE(QSettings(settingsPath(), QSettings::IniFormat).value(QStringLiteral("proxy_core_pid")).toLongLong(),
             cores.first());
    QVERIFY(QFile::exists(configPath()));
    QCOMPARE(m_machine->internetSetting("ProxyEnable"), StandInMachine::dword(1));
    QCOMPARE(m_machine->internetSetting("ProxyServer"), StandInMachine::text(kLocalServer));
    QCOMPARE(m_machine->state().value("environment").toObject(),
             (QJsonObject{{"http_proxy", kLocalUrl}, {"https_proxy", kLocalUrl}}));

    QProcess client;
    const QString output = startClient(client);
    QVERIFY2(output.contains(kStarted), qPrintable(output));
    QVERIFY(!QFile::exists(configPath()));
    QCOMPARE(m_machine->internetSetting("ProxyEnable"), StandInMachine::dword(1));
    QCOMPARE(m_machine->internetSetting("ProxyServer"), StandInMachine::text(kUserServer));
    QCOMPARE(m_machine->state().value("winhttp").toObject(), (QJsonObject{{"proxy_server", kUserServer}}));
    QCOMPARE(m_machine->state().value("environment").toObject(),
             (QJsonObject{{"http_proxy", kUserVariable}, {"https_proxy", ""}}));
    client.terminate();
    QVERIFY(client.waitForFinished(10000));
    QCOMPARE(QSettings(settingsPath(), QSettings::IniFormat).value(QStringLiteral("proxy_core_pid")), QVariant());
    if (notRoot) {
        // The other user's file is none of the client's.
        QCOMPARE(QFileInfo(planted).ownerId(), UnprivilegedUser::kOtherUid);
        QFile other(planted);
        QVERIFY(other.open(QIODevice::ReadOnly));
        QCOMPARE(other.readAll(), QByteArray("{\"another user's\": true}"));
    }
}

void CrashRecoveryTest::startEndsTheCoreOfAnEarlierRun_data()
{
    QTest::addColumn<bool>("isCore");
    QTest::newRow("the core") << true;
    QTest::newRow("another program under the recorded id") << false;
}

// A core that outlived its client (a build that did not tie it to the client, say) still
// serves the local port. The settings file names its process id.
void CrashRecoveryTest::startEndsTheCoreOfAnEarlierRun()
{
    QFETCH(bool, isCore);

    QProcess leftover;
    qint64 leftoverPid = 0;
    if (isCore) {
        leftoverPid = startRecordedCore(leftover);
        QVERIFY(leftoverPid > 0);
    } else {
        Norvane::Platform::startTiedChild(leftover, QStringLiteral("/bin/sleep"), {"60"});
        QVERIFY(leftover.waitForStarted());
        leftoverPid = leftover.processId();
        recordCore(leftoverPid);
    }

    QProcess client;
    const QString output = startClient(client);
    QVERIFY2(output.contains(kStarted), qPrintable(output));
    if (isCore) {
        QTRY_COMPARE_WITH_TIMEOUT(leftover.state(), QProcess::NotRunning, 5000);
        QVERIFY(LocalPort::isFree(kMixedPort) && LocalPort::isFree(kDnsPort));
        QVERIFY2(output.contains(QStringLiteral("[V2RayCore] 已结束遗留的XRay进程, PID: %1").arg(leftoverPid)),
                 qPrintable(output));
        QVERIFY(!QFile::exists(configPath()));
    } else {
        // Only the core is ended; a process that took its id over is none of the client's.
        QCOMPARE(leftover.state(), QProcess::Running);
        QVERIFY(!output.contains(QStringLiteral("遗留的XRay进程")));
    }
    client.terminate();
    QVERIFY(client.waitForFinished(10000));
    QCOMPARE(QSettings(settingsPath(), QSettings::IniFormat).value(QStringLiteral("proxy_core_pid")), QVariant());

    leftover.kill();
    leftover.waitForFinished();
}

void CrashRecoveryTest::startSwitchesOffAProxyLeftWithoutRecord_data()
{
    QTest::addColumn<bool>("coreRuns");
    QTest::newRow("no core runs") << false;
    QTest::newRow("a core of the client still runs") << true;
}

// The settings file lost the client's record (truncated, replaced) while the proxy still
// points at the client's port.
void CrashRecoveryTest::startSwitchesOffAProxyLeftWithoutRecord()
{
    QFETCH(bool, coreRuns);

    giveUserProxy();
    QVERIFY(m_machine->setProxyServer(kLocalServer));
    QVERIFY(m_machine->setVariable("http_proxy", kLocalUrl));
    QVERIFY(QDir().mkpath(QFileInfo(settingsPath()).path()));
    QFile settings(settingsPath());
    QVERIFY(settings.open(QIODevice::WriteOnly | QIODevice::Truncate));
    settings.close();
    QProcess core;
    if (coreRuns) {
        QVERIFY(startRecordedCore(core) > 0);
        // It cannot be ended: it goes on serving the proxy.
        qputenv("NORVANE_PLATFORM_FAIL", "taskkill");
    }

    QProcess client;
    const QString output = startClient(client);
    qunsetenv("NORVANE_PLATFORM_FAIL");
    QVERIFY2(output.contains(kStarted), qPrintable(output));
    const QString warning = QStringLiteral("[SystemProxyManager] 系统代理仍指向本客户端, 但没有用户原有设置的记录, 关闭系统代理");
    QCOMPARE(output.contains(warning), !coreRuns);
    QCOMPARE(m_machine->internetSetting("ProxyEnable"), StandInMachine::dword(coreRuns ? 1 : 0));
    QCOMPARE(m_machine->internetSetting("ProxyServer"), StandInMachine::text(kLocalServer));
    QCOMPARE(m_machine->state().value("environment").toObject().value("http_proxy").toString(),
             coreRuns ? kLocalUrl : QString());
    client.terminate();
    QVERIFY(client.waitForFinished(10000));
    core.kill();
    core.waitForFinished();
}

QTEST_GUILESS_MAIN(CrashRecoveryTest)
#include "tst_crashrecovery.moc"
