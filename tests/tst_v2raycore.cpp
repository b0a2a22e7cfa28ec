#include "api/vpn/ProxyCoreRecord.h"
#include "api/vpn/V2RayCore.h"
#include "platform/process/TiedChildProcess.h"
#include "support/LogCapture.h"
#include "support/TestEnvironment.h"
#include "support/WaitForCount.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <memory>
#include <optional>

using Norvane::Api::Vpn::ProxyCoreRecord;
using Norvane::Api::Vpn::V2RayCore;
using Norvane::Api::Vpn::VmessConfig;

namespace {

const QString kCrashed = QStringLiteral("error:XRay进程崩溃");
const QString kAliveListing = QStringLiteral("xray.exe                  4242 Console              1     12,345 K\n");
const QString kEmptyListing = QStringLiteral("信息: 没有运行的任务匹配指定标准。\n");

// Everything a core reported, in order; traffic totals separately. The connections end with
// the record, which a test may drop before the core (whose destructor still reports).
struct CoreEvents
{
    QObject context;
    QStringList events;
    QStringList logs;
    QList<QPair<qlonglong, qlonglong>> traffic;
    QElapsedTimer clock;
    qint64 connectedAt = -1;
    int connectedCount = 0;
    int disconnectedCount = 0;

    void watch(V2RayCore *core)
    {
        clock.start();
        QObject::connect(core, &V2RayCore::connected, &context, [this]() {
            events << QStringLiteral("connected");
            connectedAt = clock.elapsed();
            ++connectedCount;
        });
        QObject::connect(core, &V2RayCore::disconnected, &context, [this]() {
            events << QStringLiteral("disconnected");
            ++disconnectedCount;
        });
        QObject::connect(core, &V2RayCore::error, &context,
                         [this](const QString &text) { events << QStringLiteral("error:") + text; });
        QObject::connect(core, &V2RayCore::logOutput, &context, [this](const QString &text) { logs << text; });
        QObject::connect(core, &V2RayCore::trafficUpdate, &context,
                         [this](qlonglong up, qlonglong down) { traffic.append({up, down}); });
    }
};

VmessConfig server()
{
    VmessConfig config;
    config.address = QStringLiteral("hk1.example.com");
    config.port = 443;
    config.uuid = QStringLiteral("b831381d-6324-4d53-ad4f-8cda48b30811");
    return config;
}

bool isLargeStep(qlonglong up, qlonglong down)
{
    return up >= 3000 && up < 10000 && down >= 15000 && down < 60000;
}

bool isSmallStep(qlonglong up, qlonglong down)
{
    return up >= 100 && up < 300 && down >= 300 && down < 1000;
}

// What keeps the file at the path from being the core's document for the server, a file of its
// own (no link) readable and writable by its user alone (0600); empty when nothing does.
QString privateDocumentFault(const QString &path, const VmessConfig &server)
{
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile())
        return QStringLiteral("not a plain file: ") + path;
    // The owner's, the group's and the others' bits.
    const QFileDevice::Permissions mode = info.permissions() & QFileDevice::Permissions(0x7077);
    if (mode != (QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return QStringLiteral("mode %1").arg(int(mode), 0, 16);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    const QByteArray content = file.readAll();
    if (content != V2RayCore::generateConfig(server).toUtf8())
        return QStringLiteral("another document: ") + QString::fromUtf8(content.left(200));
    return {};
}

bool processExists(const QString &pid)
{
    return QFileInfo::exists(QStringLiteral("/proc/") + pid);
}

void writeFile(const QString &path, const QByteArray &content, QFileDevice::Permissions permissions)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
    file.close();
    QVERIFY(file.setPermissions(permissions));
}

QStringList readLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class TestV2RayCore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void readsItsDefaults();
    void connectsOnceAfterTheDelay();
    void connectedNeverComesBeforeTheDelay();
    void reportsEachEnd_data();
    void reportsEachEnd();
    void stopThenStartConnectsOnce();
    void refusesStartWhileRunning();
    void stopWhenIdleDoesNothing();
    void missingExecutable();
    void nonExecutableFile();
    void configFileCannotBeCreated();
    void noPrivateFolderStopsTheStartClearly();
    void survivesHangingVersionProbe();
    void relaysFilteredOutput();
    void writesPrivateConfigFile();
    void plantedLinkIsNotFollowed_data();
    void plantedLinkIsNotFollowed();
    void fileHeldOpenIsNotReused();
    void countsLargeStepsWhileListed();
    void tenthTickChecksTheProcessList();
    void totalsRestartAfterCoreExit();
    void destructorStopsTheCore();
    void endsTheRecordedCoreOfAnEarlierRun_data();
    void endsTheRecordedCoreOfAnEarlierRun();

private:
    std::unique_ptr<V2RayCore> makeCore(int connectDelay = 300, int statsInterval = 20);
    void useScript(const QString &script);
    void setListing(const QString &listing);
    QStringList coreRuns() const;
    bool waitForRuns(int count) const;
    QString runningPid() const;

    QTemporaryDir m_dir;
    QString m_configPath;
    QString m_resources;
    QString m_coreLog;
    QString m_tasklistLog;
    QString m_taskkillLog;
    QString m_listing;
    QString m_script;
};

void TestV2RayCore::initTestCase()
{
    TestEnvironment::isolate();
    QVERIFY(m_dir.isValid());
    const QDir dir(m_dir.path());

    // A private temporary folder: the configuration file has one fixed name.
    QVERIFY(dir.mkpath(QStringLiteral("tmp")));
    qputenv("TMPDIR", dir.filePath(QStringLiteral("tmp")).toLocal8Bit());
    m_configPath = V2RayCore::configFilePath();
    QVERIFY(m_configPath.startsWith(m_dir.path()));

    m_resources = dir.filePath(QStringLiteral("resources/vpn"));
    QVERIFY(dir.mkpath(QStringLiteral("resources/vpn/x32")));
    QVERIFY(QFile::link(TestEnvironment::helperPath(QStringLiteral("norvane_fake_core")),
                        m_resources + QStringLiteral("/x32/xray.exe")));

    m_coreLog = dir.filePath(QStringLiteral("core.log"));
    m_tasklistLog = dir.filePath(QStringLiteral("tasklist.log"));
    m_taskkillLog = dir.filePath(QStringLiteral("taskkill.log"));
    m_listing = dir.filePath(QStringLiteral("listing.txt"));
    m_script = dir.filePath(QStringLiteral("script.txt"));
    qputenv("NORVANE_FAKE_CORE_LOG", m_coreLog.toLocal8Bit());

    // The Windows commands, as scripts that log their arguments one per field.
    QVERIFY(dir.mkpath(QStringLiteral("commands")));
    const QFileDevice::Permissions executable =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    writeFile(dir.filePath(QStringLiteral("commands/tasklist")),
              QStringLiteral("#!/bin/sh\nprintf '%s|' \"$@\" >> '%1'\necho >> '%1'\ncat '%2'\n")
                  .arg(m_tasklistLog, m_listing)
                  .toUtf8(),
              executable);
    writeFile(dir.filePath(QStringLiteral("commands/taskkill")),
              QStringLiteral("#!/bin/sh\nprintf '%s|' \"$@\" >> '%1'\necho >> '%1'\nkill -9 \"$3\"\n")
                  .arg(m_taskkillLog)
                  .toUtf8(),
              executable);
    qputenv("NORVANE_PLATFORM_COMMANDS_DIR", dir.filePath(QStringLiteral("commands")).toLocal8Bit());
}

void TestV2RayCore::init()
{
    qunsetenv("NORVANE_FAKE_CORE_SCRIPT");
    qunsetenv("NORVANE_FAKE_CORE_VERSION");
    for (const QString &path : {m_coreLog, m_tasklistLog, m_taskkillLog, m_configPath})
        QFile::remove(path);
    setListing(kAliveListing);
}

void TestV2RayCore::cleanup()
{
    // A stop never needs the system-level kill here: QProcess::kill always ends the core.
    QVERIFY(!QFile::exists(m_taskkillLog));
}

std::unique_ptr<V2RayCore> TestV2RayCore::makeCore(int connectDelay, int statsInterval)
{
    auto core = std::make_unique<V2RayCore>();
    core->setResourcePath(m_resources);
    core->setConnectDelay(connectDelay);
    core->setStatsInterval(statsInterval);
    return core;
}

void TestV2RayCore::useScript(const QString &script)
{
    writeFile(m_script, script.toUtf8(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    qputenv("NORVANE_FAKE_CORE_SCRIPT", m_script.toLocal8Bit());
}

void TestV2RayCore::setListing(const QString &listing)
{
    writeFile(m_listing, listing.toUtf8(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

// The core's starts with "run", as "PID|run|-c|PATH|--disable-color".
QStringList TestV2RayCore::coreRuns() const
{
    QStringList runs;
    for (const QString &line : readLines(m_coreLog)) {
        if (line.section(QLatin1Char('|'), 1, 1) == QLatin1String("run"))
            runs << line;
    }
    return runs;
}

// The core logs its start itself, a moment after the process has started.
bool TestV2RayCore::waitForRuns(int count) const
{
    return QTest::qWaitFor([&]() { return coreRuns().size() >= count; }, 2000);
}

QString TestV2RayCore::runningPid() const
{
    const QStringList runs = coreRuns();
    return runs.isEmpty() ? QString() : runs.last().section(QLatin1Char('|'), 0, 0);
}

void TestV2RayCore::readsItsDefaults()
{
    LogCapture log;
    V2RayCore core;
    QCOMPARE(core.statsInterval(), 2000);
    QCOMPARE(core.connectDelay(), 2000);
    QCOMPARE(core.resourcePath(), QCoreApplication::applicationDirPath() + QStringLiteral("/resources/vpn"));
    QVERIFY(log.contains(QStringLiteral("[V2RayCore] 初始化完成，资源路径:")));

    core.setStatsInterval(0);
    core.setConnectDelay(-5);
    QCOMPARE(core.statsInterval(), 2000);
    QCOMPARE(core.connectDelay(), 2000);
}

void TestV2RayCore::connectsOnceAfterTheDelay()
{
    auto core = makeCore();
    core->setConnectDelay(V2RayCore::kConnectDelayMs);
    CoreEvents events;
    LogCapture log;

    // The delay counts from the process's start, inside start(): the clock starts before it.
    events.watch(core.get());
    QVERIFY(core->start(server()));
    QVERIFY(log.contains(QStringLiteral("[V2RayCore] ✅ XRay版本信息: \"Xray 1.8.4 (norvane fake core)\\n\"")));
    QVERIFY(QTest::qWaitFor([&]() { return events.connectedCount > 0; }, 4000));
    QVERIFY2(events.connectedAt >= 1850, qPrintable(QString::number(events.connectedAt)));
    QVERIFY(events.traffic.isEmpty());

    // The first tick counts from 0.
    QVERIFY(QTest::qWaitFor([&]() { return !events.traffic.isEmpty(); }, 1000));
    QVERIFY(isLargeStep(events.traffic.first().first, events.traffic.first().second));
    QVERIFY(waitForExactCount(events.connectedCount, 1));
    QCOMPARE(events.events, QStringList{QStringLiteral("connected")});
    core->stop();
}

// A timer that may fire early would announce "up" before the core had its time; with a
// delay of 100 ms a coarse one fires about 5 ms early on every other start.
void TestV2RayCore::connectedNeverComesBeforeTheDelay()
{
    using std::chrono::steady_clock;
    constexpr int kDelayMs = 100;
    auto core = makeCore(kDelayMs);
    std::optional<steady_clock::time_point> connectedAt;
    QObject::connect(core.get(), &V2RayCore::connected, core.get(), [&]() { connectedAt = steady_clock::now(); });

    for (int run = 0; run < 20; ++run) {
        connectedAt.reset();
        LogCapture log;
        QVERIFY(core->start(server()));
        // Logged right before the wait for "up" begins.
        const auto startedAt = log.firstTimeOf(QStringLiteral("[V2RayCore] XRay进程已启动"));
        QVERIFY(startedAt);
        // A spy's wait runs an event loop, which wakes when the timer is due (a polling wait
        // would hide an early timer behind its own sleeps).
        QSignalSpy connected(core.get(), &V2RayCore::connected);
        QVERIFY(connectedAt || connected.wait(2000));
        const auto waited = std::chrono::duration_cast<std::chrono::microseconds>(*connectedAt - *startedAt);
        QVERIFY2(waited >= std::chrono::milliseconds(kDelayMs),
                 qPrintable(QStringLiteral("run %1: %2 µs").arg(run).arg(waited.count())));
        core->stop();
    }
}

// Each end comes when the test gives the word: the test stops the core itself, or a scripted
// core waits for the file %GO%. "Once up" is after the core is announced; "at once" is well
// inside a connect delay of 1 s. So the order of the ends does not hang on how soon the machine
// runs each process.
void TestV2RayCore::reportsEachEnd_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("connectDelay");
    QTest::addColumn<QString>("when");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("exitLine");

    constexpr int kUp = 300;
    constexpr int kNeverUp = 1000;
    const QString onceUp = QStringLiteral("once up");
    const QString atOnce = QStringLiteral("at once");
    const QString crashLine = QStringLiteral("状态: 崩溃");
    QTest::newRow("stop while up") << QString() << kUp << onceUp
                                   << QStringList{"connected", kCrashed, kCrashed, "disconnected"} << crashLine;
    QTest::newRow("stop before up") << QString() << kNeverUp << atOnce
                                    << QStringList{kCrashed, kCrashed, "disconnected"} << crashLine;
    QTest::newRow("crash before up") << "await %GO%\ncrash\n" << kNeverUp << atOnce
                                     << QStringList{kCrashed, kCrashed, "disconnected"} << crashLine;
    QTest::newRow("crash while up") << "await %GO%\ncrash\n" << kUp << onceUp
                                    << QStringList{"connected", kCrashed, kCrashed, "disconnected"} << crashLine;
    QTest::newRow("exit 23 before up") << "await %GO%\nexit 23\n" << kNeverUp << atOnce
                                       << QStringList{"disconnected"} << QStringLiteral("退出码: 23 , 状态: 正常");
    QTest::newRow("exit 0 while up") << "await %GO%\nexit 0\n" << kUp << onceUp
                                     << QStringList{"connected", "disconnected"}
                                     << QStringLiteral("退出码: 0 , 状态: 正常");
}

void TestV2RayCore::reportsEachEnd()
{
    QFETCH(QString, script);
    QFETCH(int, connectDelay);
    QFETCH(QString, when);
    QFETCH(QStringList, expected);
    QFETCH(QString, exitLine);

    const QString goFile = m_dir.filePath(QStringLiteral("go"));
    QFile::remove(goFile);
    if (!script.isEmpty())
        useScript(QString(script).replace(QLatin1String("%GO%"), goFile));
    auto core = makeCore(connectDelay);
    CoreEvents events;
    events.watch(core.get());
    LogCapture log;

    QVERIFY(core->start(server()));
    QVERIFY(QFile::exists(m_configPath));
    // Kept in the settings while the core runs, so a start-up after a crash can find it.
    QVERIFY(waitForRuns(1));
    QCOMPARE(ProxyCoreRecord::processId(), runningPid().toLongLong());
    if (when == QLatin1String("once up"))
        QVERIFY(QTest::qWaitFor([&]() { return events.connectedCount > 0; }, 3000));
    if (script.isEmpty()) {
        core->stop();
        QVERIFY(log.contains(QStringLiteral("[V2RayCore] XRay已停止")));
    } else {
        writeFile(goFile, {}, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    QVERIFY(QTest::qWaitFor([&]() { return events.disconnectedCount > 0; }, 3000));
    const int ticks = events.traffic.size();
    // Past the connect delay, so that a late "connected" would show, and long enough for a tick.
    QTest::qWait(int(qMax<qint64>(100, connectDelay + 200 - events.clock.elapsed())));

    QCOMPARE(events.events, expected);
    QCOMPARE(events.traffic.size(), ticks);
    QVERIFY(log.contains(exitLine));
    QVERIFY(!QFile::exists(m_configPath));
    QCOMPARE(log.count(QStringLiteral("[V2RayCore] 已删除配置文件:")), 1);
    QVERIFY(!processExists(runningPid()));
    QCOMPARE(ProxyCoreRecord::processId(), 0);

    // Ended, the core may be started again.
    qunsetenv("NORVANE_FAKE_CORE_SCRIPT");
    QVERIFY(core->start(server()));
    core->stop();
}

void TestV2RayCore::stopThenStartConnectsOnce()
{
    auto core = makeCore(600);
    CoreEvents events;
    events.watch(core.get());

    QVERIFY(core->start(server()));
    QTest::qWait(200);
    core->stop();
    // A machine that held the test back past the delay had the first start announced before
    // its stop; only what comes after the second start counts.
    events.events.clear();
    events.connectedCount = 0;

    QVERIFY(core->start(server()));
    events.clock.restart();
    // The first start's wait, had it survived its stop, would announce this one about 200 ms early.
    QVERIFY(QTest::qWaitFor([&]() { return events.connectedCount > 0; }, 3000));
    QVERIFY2(events.connectedAt >= 550, qPrintable(QString::number(events.connectedAt)));
    QVERIFY(waitForExactCount(events.connectedCount, 1));
    QCOMPARE(events.events, QStringList{QStringLiteral("connected")});
    core->stop();
}

void TestV2RayCore::refusesStartWhileRunning()
{
    auto core = makeCore();
    QVERIFY(core->start(server()));
    CoreEvents events;
    events.watch(core.get());
    LogCapture log;

    VmessConfig other = server();
    other.address = QStringLiteral("other.example.com");
    QVERIFY(!core->start(other));
    QCOMPARE(log.messages(), QStringList{QStringLiteral("[V2RayCore] XRay已经在运行中")});
    QCOMPARE(events.events, QStringList());
    QVERIFY(waitForRuns(1));
    QTest::qWait(100);
    QCOMPARE(coreRuns().size(), 1);
    QFile file(m_configPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(!file.readAll().contains("other.example.com"));
    core->stop();
}

void TestV2RayCore::stopWhenIdleDoesNothing()
{
    writeFile(m_configPath, "left by someone", QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    auto core = makeCore();
    CoreEvents events;
    events.watch(core.get());
    LogCapture log;

    core->stop();
    QCOMPARE(log.messages(), QStringList());
    QCOMPARE(events.events, QStringList());
    QVERIFY(QFile::exists(m_configPath));
}

void TestV2RayCore::missingExecutable()
{
    auto core = makeCore();
    const QString resources = m_dir.filePath(QStringLiteral("no-such-resources"));
    core->setResourcePath(resources);
    CoreEvents events;
    events.watch(core.get());
    LogCapture log;

    QVERIFY(!core->start(server()));
    const QString message = QStringLiteral("❌ XRay可执行文件不存在: %1/x32/xray.exe").arg(resources);
    QCOMPARE(events.events, QStringList{QStringLiteral("error:") + message});
    QVERIFY(log.contains(message));
    QVERIFY(log.contains(QStringLiteral("[V2RayCore] 请检查文件是否存在或是否被杀毒软件删除")));
    QVERIFY(!QFile::exists(m_coreLog));

    // No process will read the file, and it holds the user's id.
    QVERIFY(!QFile::exists(m_configPath));
    log.clear();
    core->stop();
    QCOMPARE(log.messages(), QStringList());
}

void TestV2RayCore::nonExecutableFile()
{
    const QString resources = m_dir.filePath(QStringLiteral("plain-resources"));
    QVERIFY(QDir().mkpath(resources + QStringLiteral("/x32")));
    writeFile(resources + QStringLiteral("/x32/xray.exe"), "#!/bin/sh\nexit 0\n",
              QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    auto core = makeCore();
    core->setResourcePath(resources);
    CoreEvents events;
    events.watch(core.get());
    LogCapture log;

    QElapsedTimer clock;
    clock.start();
    QVERIFY(!core->start(server()));
    QVERIFY(clock.elapsed() < 3000);
    QCOMPARE(events.events, (QStringList{QStringLiteral("error:XRay启动失败，请检查文件是否存在"),
                                         QStringLiteral("error:❌ XRay启动超时 (5秒)")}));
    QVERIFY(log.contains(QStringLiteral("[V2RayCore] ⚠️ XRay测试运行失败")));
    QVERIFY(log.contains(QStringLiteral("[V2RayCore] 5. 配置文件格式错误")));
    QVERIFY(!QFile::exists(m_configPath));

    // A failed start leaves the object idle and startable.
    core->setResourcePath(m_resources);
    QVERIFY(core->start(server()));
    core->stop();
}

void TestV2RayCore::configFileCannotBeCreated()
{
    QVERIFY(QDir().mkpath(m_configPath));
    auto core = makeCore();
    CoreEvents events;
    events.watch(core.get());
    LogCapture log;

    const bool started = core->start(server());
    QVERIFY(QDir().rmdir(m_configPath));
    QVERIFY(!started);
    QCOMPARE(events.events, QStringList{QStringLiteral("error:无法创建配置文件: %1").arg(m_configPath)});
    QVERIFY(!QFile::exists(m_coreLog));
}

// The folder is the user's alone; a link put in its place (the temporary folder is shared by
// all users) would lead the user's id into a folder of someone else's choosing.
void TestV2RayCore::noPrivateFolderStopsTheStartClearly()
{
    const QString folder = QFileInfo(m_configPath).path();
    const QString aside = m_dir.filePath(QStringLiteral("elsewhere"));
    QVERIFY(QDir().rename(folder, aside));
    QVERIFY(QFile::link(aside, folder));
    auto core = makeCore();
    CoreEvents events;
    events.watch(core.get());
    LogCapture log;

    const bool started = core->start(server());
    QVERIFY(QFile::remove(folder));
    QVERIFY(QDir().rename(aside, folder));
    QVERIFY(!started);
    QCOMPARE(events.events, QStringList{QStringLiteral("error:无法创建配置文件: 用户自己的临时文件夹不可用")});
    QVERIFY2(log.contains(QStringLiteral("[V2RayCore] 无法使用用户自己的临时文件夹: \"%1 is a link, not a folder\"").arg(folder)),
             qPrintable(log.messages().join(QLatin1Char('\n'))));
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    QVERIFY(!QFile::exists(m_coreLog));
}

void TestV2RayCore::survivesHangingVersionProbe()
{
    qputenv("NORVANE_FAKE_CORE_VERSION", "hang");
    auto core = makeCore();
    LogCapture log;

    QElapsedTimer clock;
    clock.start();
    QVERIFY(core->start(server()));
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= 2900 && elapsed < 5000, qPrintable(QString::number(elapsed)));
    QVERIFY(log.contains(QStringLiteral("[V2RayCore] ⚠️ XRay测试运行失败")));
    QVERIFY(log.contains(QStringLiteral("[V2RayCore] 错误:")));

    QVERIFY(waitForRuns(1));
    const QStringList starts = readLines(m_coreLog);
    QCOMPARE(starts.size(), 2);
    QCOMPARE(starts.first().section(QLatin1Char('|'), 1), QStringLiteral("version"));
    QVERIFY(!processExists(starts.first().section(QLatin1Char('|'), 0, 0)));
    QVERIFY(processExists(runningPid()));
    core->stop();
}

void TestV2RayCore::relaysFilteredOutput()
{
    useScript(QStringLiteral("sleep 50\n"
                             "stdout hello core\\n\n"
                             "sleep 150\n"
                             "stdout    \\n\\t  \\n\n"
                             "sleep 150\n"
                             "stderr a lower-case error only\\n\n"
                             "sleep 150\n"
                             "stderr Error in mixed case\\n\n"
                             "sleep 150\n"
                             "stderr 2024/01/01 [Warning] x FATAL: boom\\n\n"
                             "sleep 150\n"
                             "stderr ERROR failed to dial\\n\n"
                             "sleep 150\n"
                             "stdout line one\\nline two\\n\n"));
    auto core = makeCore(5000);
    CoreEvents events;
    events.watch(core.get());
    LogCapture log;

    QVERIFY(core->start(server()));
    QVERIFY(QTest::qWaitFor([&]() { return events.logs.size() >= 4; }, 3000));
    QTest::qWait(100);
    QCOMPARE(events.logs, (QStringList{QStringLiteral("[XRay] hello core"),
                                       QStringLiteral("[XRay错误] 2024/01/01 [Warning] x FATAL: boom"),
                                       QStringLiteral("[XRay错误] ERROR failed to dial"),
                                       QStringLiteral("[XRay] line one\nline two")}));
    QCOMPARE(log.count(QStringLiteral("[XRay输出]")), 2);
    QCOMPARE(log.count(QStringLiteral("[XRay错误]")), 2);
    QVERIFY(!log.contains(QStringLiteral("lower-case")));
    core->stop();
}

void TestV2RayCore::writesPrivateConfigFile()
{
    writeFile(m_configPath, "stale document from an earlier run, longer than nothing",
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    VmessConfig config = server();
    config.network = QStringLiteral("ws");
    config.host = QStringLiteral("cdn.example.com");
    config.tls = QStringLiteral("tls");
    config.globalRouting = 0;
    auto core = makeCore();
    LogCapture log;

    QVERIFY(core->start(config));
    const QString fault = privateDocumentFault(m_configPath, config);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));

    QVERIFY(waitForRuns(1));
    const QString run = coreRuns().value(0);
    QCOMPARE(run.section(QLatin1Char('|'), 1),
             QStringLiteral("run|-c|%1|--disable-color").arg(m_configPath));
    QVERIFY(log.contains(QStringLiteral("[V2RayCore] XRay进程已启动, PID: %1").arg(runningPid())));

    core->stop();
    QVERIFY(!QFile::exists(m_configPath));
    QVERIFY(log.contains(QStringLiteral("[V2RayCore] 已删除配置文件: \"%1\"").arg(m_configPath)));
}

void TestV2RayCore::plantedLinkIsNotFollowed_data()
{
    QTest::addColumn<bool>("targetExists");
    QTest::newRow("link to another file") << true;
    QTest::newRow("link to nothing yet") << false;
}

// A link planted at the fixed path would have the user's id written into a file of someone
// else's choosing.
void TestV2RayCore::plantedLinkIsNotFollowed()
{
    QFETCH(bool, targetExists);

    const QString target = m_dir.filePath(QStringLiteral("victim.txt"));
    QFile::remove(target);
    const QByteArray original = "a file of the user's own\n";
    if (targetExists)
        writeFile(target, original, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    QVERIFY(QFile::link(target, m_configPath));
    auto core = makeCore();

    QVERIFY(core->start(server()));
    const QString fault = privateDocumentFault(m_configPath, server());
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    if (targetExists) {
        QFile victim(target);
        QVERIFY(victim.open(QIODevice::ReadOnly));
        QCOMPARE(victim.readAll(), original);
    } else {
        QVERIFY(!QFileInfo::exists(target));
    }
    core->stop();
    QVERIFY(!QFileInfo(m_configPath).exists());
}

// Someone who made the file first and keeps it open must not read the document through it,
// nor change what the core reads.
void TestV2RayCore::fileHeldOpenIsNotReused()
{
    writeFile(m_configPath, "made by someone else",
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther | QFileDevice::WriteOther);
    QFile holder(m_configPath);
    QVERIFY(holder.open(QIODevice::ReadWrite));
    auto core = makeCore();

    QVERIFY(core->start(server()));
    QVERIFY(holder.seek(0));
    const QByteArray seen = holder.readAll();
    QCOMPARE(seen, QByteArray("made by someone else"));
    QVERIFY(!seen.contains(server().uuid.toUtf8()));
    QVERIFY(holder.seek(0));
    QVERIFY(holder.write("{\"tampered\": true}") > 0);
    QVERIFY(holder.flush());

    const QString fault = privateDocumentFault(m_configPath, server());
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    core->stop();
}

void TestV2RayCore::countsLargeStepsWhileListed()
{
    auto core = makeCore(50, 20);
    CoreEvents events;
    events.watch(core.get());

    QVERIFY(core->start(server()));
    QVERIFY(QTest::qWaitFor([&]() { return events.traffic.size() >= 25; }, 5000));
    core->stop();
    const int ticks = events.traffic.size();

    qlonglong up = 0;
    qlonglong down = 0;
    for (const auto &[upload, download] : std::as_const(events.traffic)) {
        QVERIFY2(isLargeStep(upload - up, download - down),
                 qPrintable(QStringLiteral("%1 %2").arg(upload - up).arg(download - down)));
        up = upload;
        down = download;
    }
    const QStringList queries = readLines(m_tasklistLog);
    QVERIFY(queries.size() >= ticks / 10);
    QVERIFY(queries.size() <= ticks / 10 + 1);
    for (const QString &query : queries)
        QCOMPARE(query, QStringLiteral("/FI|PID eq %1|").arg(runningPid()));

    QTest::qWait(100);
    QCOMPARE(events.traffic.size(), ticks);
}

void TestV2RayCore::tenthTickChecksTheProcessList()
{
    setListing(kEmptyListing);
    auto core = makeCore(50, 20);
    CoreEvents events;
    events.watch(core.get());

    QVERIFY(core->start(server()));
    QVERIFY(QTest::qWaitFor([&]() { return events.traffic.size() >= 25; }, 8000));
    core->stop();

    QList<int> smallTicks;
    qlonglong up = 0;
    qlonglong down = 0;
    for (int i = 0; i < events.traffic.size(); ++i) {
        const qlonglong upStep = events.traffic[i].first - up;
        const qlonglong downStep = events.traffic[i].second - down;
        if (isSmallStep(upStep, downStep))
            smallTicks << i;
        else
            QVERIFY2(isLargeStep(upStep, downStep), qPrintable(QStringLiteral("%1 %2").arg(upStep).arg(downStep)));
        up = events.traffic[i].first;
        down = events.traffic[i].second;
    }
    QVERIFY(smallTicks.size() >= 2);
    for (int i = 1; i < smallTicks.size(); ++i)
        QCOMPARE(smallTicks[i] - smallTicks[i - 1], 10);
    QCOMPARE(readLines(m_tasklistLog).size(), smallTicks.size());
}

void TestV2RayCore::totalsRestartAfterCoreExit()
{
    // The core ends once the test has seen five ticks.
    const QString enough = m_dir.filePath(QStringLiteral("enough"));
    QFile::remove(enough);
    useScript(QStringLiteral("await %1\nexit 0\n").arg(enough));
    auto core = makeCore(50, 20);
    CoreEvents events;
    events.watch(core.get());
    QObject::connect(core.get(), &V2RayCore::trafficUpdate, &events.context, [&]() {
        if (events.traffic.size() == 5)
            writeFile(enough, {}, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    });

    QVERIFY(core->start(server()));
    QVERIFY(QTest::qWaitFor([&]() { return events.disconnectedCount > 0; }, 3000));
    QVERIFY(events.traffic.size() >= 5);
    QVERIFY(events.traffic.last().first >= 15000);

    qunsetenv("NORVANE_FAKE_CORE_SCRIPT");
    events.traffic.clear();
    QVERIFY(core->start(server()));
    QVERIFY(QTest::qWaitFor([&]() { return !events.traffic.isEmpty(); }, 2000));
    QVERIFY(isLargeStep(events.traffic.first().first, events.traffic.first().second));
    core->stop();
}

void TestV2RayCore::destructorStopsTheCore()
{
    auto core = makeCore(50);
    CoreEvents events;
    events.watch(core.get());
    QVERIFY(core->start(server()));
    QVERIFY(QTest::qWaitFor([&]() { return events.connectedCount > 0; }, 2000));
    QVERIFY(waitForRuns(1));
    const QString pid = runningPid();
    QVERIFY(processExists(pid));

    core.reset();
    QVERIFY(!processExists(pid));
    QVERIFY(!QFile::exists(m_configPath));
}

void TestV2RayCore::endsTheRecordedCoreOfAnEarlierRun_data()
{
    QTest::addColumn<bool>("recorded");
    QTest::addColumn<QString>("listing");
    QTest::addColumn<bool>("noneLeft");
    QTest::addColumn<int>("taskkills");

    QTest::newRow("nothing recorded") << false << kAliveListing << true << 0;
    QTest::newRow("recorded, no longer the core") << true << kEmptyListing << true << 0;
    QTest::newRow("recorded, survives the kill") << true << kAliveListing << false << 1;
}

// The listing here never changes, so a listed core counts as surviving its taskkill.
void TestV2RayCore::endsTheRecordedCoreOfAnEarlierRun()
{
    QFETCH(bool, recorded);
    QFETCH(QString, listing);
    QFETCH(bool, noneLeft);
    QFETCH(int, taskkills);

    QProcess earlier;
    Norvane::Platform::startTiedChild(earlier, QStringLiteral("/bin/sleep"), {QStringLiteral("60")});
    QVERIFY(earlier.waitForStarted());
    if (recorded)
        ProxyCoreRecord::remember(earlier.processId());
    setListing(listing);
    LogCapture log;

    QCOMPARE(V2RayCore::endLeftoverCore(), noneLeft);
    QCOMPARE(readLines(m_tasklistLog).size() > 0, recorded);
    QCOMPARE(readLines(m_taskkillLog).size(), taskkills);
    if (taskkills > 0) {
        QCOMPARE(readLines(m_taskkillLog).first(), QStringLiteral("/F|/PID|%1|").arg(earlier.processId()));
        QVERIFY(log.contains(QStringLiteral("[V2RayCore] 无法结束遗留的XRay进程, PID: %1").arg(earlier.processId())));
    }
    // Kept only while a core may still run, so the next start-up tries again.
    QCOMPARE(ProxyCoreRecord::processId(), noneLeft ? 0 : earlier.processId());

    ProxyCoreRecord::forget();
    QFile::remove(m_taskkillLog);
    earlier.kill();
    earlier.waitForFinished();
}

QTEST_GUILESS_MAIN(TestV2RayCore)
#include "tst_v2raycore.moc"
