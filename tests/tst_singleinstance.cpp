#include "app/SingleInstance.h"
#include "platform/process/TiedChildProcess.h"
#include "support/LogCapture.h"
#include "support/ProgramRun.h"
#include "support/SignalWait.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using Norvane::App::ShowRequestServer;
using Norvane::App::SingleInstance;

namespace {

const QString kHandedOver = QStringLiteral("[SingleInstance] 已请求正在运行的客户端显示窗口, 本次启动结束");
const QString kShowRequested = QStringLiteral("[SingleInstance] 另一次启动请求显示窗口");
const QString kUnreached = QStringLiteral("[SingleInstance] 无法联系正在运行的客户端");
const QString kClaimed = QStringLiteral("probe claimed");
const QString kNotClaimed = QStringLiteral("probe not claimed");


// The first line of the lock file: the process id of its holder.
qint64 lockHolder(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readLine().trimmed().toLongLong() : -1;
}

// Takes every descriptor this process may still open, and gives them back when it goes.
class DescriptorsTaken
{
public:
    ~DescriptorsTaken()
    {
        for (const int descriptor : std::as_const(m_taken))
            ::close(descriptor);
        if (m_limited)
            ::setrlimit(RLIMIT_NOFILE, &m_before);
    }
    bool takeAll()
    {
        const int highest = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (highest < 0 || ::getrlimit(RLIMIT_NOFILE, &m_before) != 0)
            return false;
        m_taken << highest;
        rlimit tight = m_before;
        tight.rlim_cur = rlim_t(highest) + 1;
        m_limited = ::setrlimit(RLIMIT_NOFILE, &tight) == 0;
        for (int descriptor = ::dup(highest); descriptor >= 0; descriptor = ::dup(highest))
            m_taken << descriptor;
        return m_limited;
    }

private:
    rlimit m_before {};
    bool m_limited = false;
    QList<int> m_taken;
};

} // namespace

// The single-client guard with real lock files, sockets and processes: locks that cannot be
// checked are taken over, a live client is never doubled, the hand-over socket lies in a folder
// of the user's own and withstands silent connections.
class SingleInstanceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void unusableLockIsTakenOver_data();
    void unusableLockIsTakenOver();
    void freshLockThatItsClaimantFillsInIsNotTakenOver();
    void laterStartHandsOverToAClientThatAnswers_data();
    void laterStartHandsOverToAClientThatAnswers();
    void liveClientThatNeverAnswersIsNotTakenOver();
    void lockOfAClientThatEndsDuringTheWaitIsTakenOver();
    void twoStartsAtOnceOverAnUnusableLockClaimOnce_data();
    void twoStartsAtOnceOverAnUnusableLockClaimOnce();
    void socketLiesInAFolderOfTheUsersOwn();
    void silentConnectionsAreClosedAfterTheWait();
    void moreConnectionsThanTheCapDoNotStopAHandOver();
    void serverListensAgainWhenItsSocketGoes_data();
    void serverListensAgainWhenItsSocketGoes();
    void startWithoutTheLockRepairsOnlyWhenNoOtherClientRuns_data();
    void startWithoutTheLockRepairsOnlyWhenNoOtherClientRuns();

private:
    QString lockPath() const { return m_data->filePath(QStringLiteral("norvane_instance.lock")); }
    ProgramRun &startProbe(const QString &mode, const QString &lockPath, bool onGo = false);
    // A later start, in a process of its own, reaches `instance` and ends.
    void verifyLaterStartHandsOver(const LogCapture &log);
    void plantLock(const QByteArray &content, qint64 ageMs);

    QTemporaryDir m_tmp;
    std::unique_ptr<QTemporaryDir> m_data;
    std::vector<std::unique_ptr<ProgramRun>> m_probes;
    std::vector<std::unique_ptr<QProcess>> m_others;
};

void SingleInstanceTest::initTestCase()
{
    TestEnvironment::isolate();
    QVERIFY(m_tmp.isValid());
    // The user's own folder for the socket is then made under this suite's temporary folder.
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", m_tmp.path().toLocal8Bit());
}

void SingleInstanceTest::init()
{
    m_data = std::make_unique<QTemporaryDir>();
    QVERIFY(m_data->isValid());
}

void SingleInstanceTest::cleanup()
{
    for (const auto &probe : m_probes) {
        if (probe->process.state() != QProcess::NotRunning) {
            probe->process.kill();
            probe->process.waitForFinished(5000);
        }
        if (QTest::currentTestFailed())
            qWarning().noquote() << "probe output:\n" << probe->output + QString::fromUtf8(probe->process.readAll());
    }
    m_probes.clear();
    for (const auto &other : m_others) {
        other->kill();
        other->waitForFinished(5000);
    }
    m_others.clear();
    m_data.reset();
}

ProgramRun &SingleInstanceTest::startProbe(const QString &mode, const QString &path, bool onGo)
{
    auto &probe = *m_probes.emplace_back(std::make_unique<ProgramRun>());
    probe.process.setProcessChannelMode(QProcess::MergedChannels);
    QStringList arguments{mode, path};
    if (onGo)
        arguments << QStringLiteral("--on-go");
    Norvane::Platform::startTiedChild(probe.process, TestEnvironment::helperPath(QStringLiteral("norvane_instance_probe")),
                                      arguments);
    return probe;
}

void SingleInstanceTest::verifyLaterStartHandsOver(const LogCapture &log)
{
    ProgramRun &later = startProbe(QStringLiteral("claim"), lockPath());
    QVERIFY(later.waitForEnd());
    QCOMPARE(later.process.exitCode(), 0);
    QVERIFY2(later.output.contains(kNotClaimed) && later.output.contains(kHandedOver), qPrintable(later.output));
    QVERIFY(log.contains(kShowRequested));
}

void SingleInstanceTest::plantLock(const QByteArray &content, qint64 ageMs)
{
    QFile file(lockPath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
    if (ageMs > 0)
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addMSecs(-ageMs), QFileDevice::FileModificationTime));
}

void SingleInstanceTest::unusableLockIsTakenOver_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("logged");

    const QString unreadable = QStringLiteral("[SingleInstance] 实例锁无法读取");
    QTest::newRow("empty, older than 1 s") << QStringLiteral("empty old") << unreadable;
    QTest::newRow("empty and fresh: taken once a second old") << QStringLiteral("empty fresh") << unreadable;
    // This process's own id: only the host tells it apart from a live client.
    QTest::newRow("another host's") << QStringLiteral("other host")
                                    << QStringLiteral("[SingleInstance] 实例锁由另一台机器写下, 已接管");
    QTest::newRow("PID 0") << QStringLiteral("pid 0") << unreadable;
    QTest::newRow("a dangling link") << QStringLiteral("dangling link") << unreadable;
    QTest::newRow("a dead PID") << QStringLiteral("dead")
                                << QStringLiteral("[SingleInstance] 上次运行留下的实例锁已失效, 已接管");
    // Named as the program it runs, so that QLockFile's own check by name finds nothing amiss.
    QTest::newRow("a PID of another program") << QStringLiteral("other program")
                                              << QStringLiteral("[SingleInstance] 实例锁中的进程不是本客户端, 已接管");
}

void SingleInstanceTest::unusableLockIsTakenOver()
{
    QFETCH(QString, kind);
    QFETCH(QString, logged);

    const QByteArray host = QSysInfo::machineHostName().toUtf8();
    const QByteArray self = QByteArray::number(QCoreApplication::applicationPid());
    constexpr qint64 old = 5000;
    if (kind == QStringLiteral("empty old")) {
        plantLock({}, old);
    } else if (kind == QStringLiteral("empty fresh")) {
        plantLock({}, 0);
    } else if (kind == QStringLiteral("other host")) {
        plantLock(self + "\ntst_singleinstance\nother-machine.example\n", old);
    } else if (kind == QStringLiteral("pid 0")) {
        plantLock("0\ntst_singleinstance\n" + host + "\n", old);
    } else if (kind == QStringLiteral("dangling link")) {
        QVERIFY(QFile::link(m_data->filePath(QStringLiteral("gone/norvane_instance.lock")), lockPath()));
    } else if (kind == QStringLiteral("dead")) {
        QProcess ended;
        Norvane::Platform::startTiedChild(ended, QStringLiteral("/bin/true"), {});
        QVERIFY(ended.waitForStarted());
        const qint64 pid = ended.processId();
        QVERIFY(ended.waitForFinished());
        plantLock(QByteArray::number(pid) + "\ntst_singleinstance\n" + host + "\n", old);
    } else {
        auto &sleeper = *m_others.emplace_back(std::make_unique<QProcess>());
        Norvane::Platform::startTiedChild(sleeper, QStringLiteral("/bin/sleep"), {QStringLiteral("60")});
        QVERIFY(sleeper.waitForStarted());
        plantLock(QByteArray::number(sleeper.processId()) + "\nsleep\n" + host + "\n", old);
    }
    const QDateTime planted = QFileInfo(lockPath()).lastModified();

    LogCapture log;
    SingleInstance instance(lockPath());
    QVERIFY(instance.claim());
    QVERIFY2(log.contains(logged), qPrintable(log.messages().join(QLatin1Char('\n'))));
    if (kind == QStringLiteral("empty fresh")) {
        // A start may have been writing it: it was left for a second.
        QVERIFY(log.contains(QStringLiteral("[SingleInstance] 实例锁刚刚创建, 尚无内容, 等待其写入")));
        QVERIFY(planted.msecsTo(QDateTime::currentDateTime()) >= 1000);
    }
    QVERIFY(!QFileInfo(lockPath()).isSymLink());
    QCOMPARE(lockHolder(lockPath()), QCoreApplication::applicationPid());
    verifyLaterStartHandsOver(log);
}

// A start that finds a lock just made, still empty, leaves it to its claimant, which then runs
// as the client: the start hands over to it.
void SingleInstanceTest::freshLockThatItsClaimantFillsInIsNotTakenOver()
{
    ProgramRun &later = startProbe(QStringLiteral("claim"), lockPath(), true);
    QVERIFY(later.waitFor(QStringLiteral("probe ready")));
    plantLock({}, 0);
    later.process.write("go\n");
    QVERIFY(later.waitFor(QStringLiteral("等待其写入")));

    // The claimant's lock in its place, written, and its server up.
    LogCapture log;
    QVERIFY(QFile::remove(lockPath()));
    SingleInstance claimant(lockPath());
    QVERIFY(claimant.claim());
    QVERIFY(later.waitForEnd());
    QVERIFY2(later.output.contains(kNotClaimed) && later.output.contains(kHandedOver), qPrintable(later.output));
    QVERIFY(log.contains(kShowRequested));
    QCOMPARE(lockHolder(lockPath()), QCoreApplication::applicationPid());
}

void SingleInstanceTest::laterStartHandsOverToAClientThatAnswers_data()
{
    QTest::addColumn<bool>("lockCanBeMade");
    QTest::newRow("the client holds the lock") << true;
    // Its folder does not exist: neither start has a lock, the socket decides.
    QTest::newRow("neither start can make the lock") << false;
}

void SingleInstanceTest::laterStartHandsOverToAClientThatAnswers()
{
    QFETCH(bool, lockCanBeMade);
    const QString path = lockCanBeMade ? lockPath() : m_data->filePath(QStringLiteral("missing/norvane_instance.lock"));

    ProgramRun &running = startProbe(QStringLiteral("claim"), path);
    QVERIFY(running.waitFor(kClaimed));
    LogCapture log;
    SingleInstance later(path);
    QVERIFY(!later.claim());
    QVERIFY(log.contains(kHandedOver));
    QVERIFY(running.waitFor(kShowRequested));
    QCOMPARE(running.process.state(), QProcess::Running);
    if (lockCanBeMade)
        QCOMPARE(lockHolder(path), running.process.processId());
}

// This process holds the lock and serves no socket: a live client of this program that does
// not answer. The start gives up rather than run beside it.
void SingleInstanceTest::liveClientThatNeverAnswersIsNotTakenOver()
{
    QLockFile held(lockPath());
    QVERIFY(held.tryLock(0));

    LogCapture log;
    SingleInstance later(lockPath());
    QVERIFY(!later.claim());
    QVERIFY(log.contains(QStringLiteral("[SingleInstance] 客户端已在运行, PID: %1").arg(QCoreApplication::applicationPid())));
    QVERIFY(log.contains(kUnreached));
    QVERIFY(held.isLocked());
    QCOMPARE(lockHolder(lockPath()), QCoreApplication::applicationPid());
}

void SingleInstanceTest::lockOfAClientThatEndsDuringTheWaitIsTakenOver()
{
    ProgramRun &holder = startProbe(QStringLiteral("hold"), lockPath());
    QVERIFY(holder.waitFor(QStringLiteral("probe holds")));
    ProgramRun &later = startProbe(QStringLiteral("claim"), lockPath());
    QVERIFY(later.waitFor(QStringLiteral("[SingleInstance] 客户端已在运行, PID: %1").arg(holder.process.processId())));

    holder.process.kill();
    QVERIFY(holder.waitForEnd());
    QVERIFY2(later.waitFor(kClaimed), qPrintable(later.output));
    QVERIFY(later.output.contains(QStringLiteral("[SingleInstance] 上次运行留下的实例锁已失效, 已接管")));
    QVERIFY(!later.output.contains(kUnreached));
    QCOMPARE(lockHolder(lockPath()), later.process.processId());
}

void SingleInstanceTest::twoStartsAtOnceOverAnUnusableLockClaimOnce_data()
{
    QTest::addColumn<bool>("link");
    QTest::newRow("empty") << false;
    QTest::newRow("a dangling link") << true;
}

void SingleInstanceTest::twoStartsAtOnceOverAnUnusableLockClaimOnce()
{
    QFETCH(bool, link);
    if (link)
        QVERIFY(QFile::link(m_data->filePath(QStringLiteral("gone")), lockPath()));
    else
        plantLock({}, 5000);

    ProgramRun &first = startProbe(QStringLiteral("claim"), lockPath(), true);
    ProgramRun &second = startProbe(QStringLiteral("claim"), lockPath(), true);
    QVERIFY(first.waitFor(QStringLiteral("probe ready")) && second.waitFor(QStringLiteral("probe ready")));
    first.process.write("go\n");
    second.process.write("go\n");
    // "probe claimed" or "probe not claimed".
    QVERIFY(first.waitFor(QStringLiteral("claimed")) && second.waitFor(QStringLiteral("claimed")));

    const bool firstClaimed = first.output.contains(kClaimed);
    const bool secondClaimed = second.output.contains(kClaimed);
    QVERIFY2(firstClaimed != secondClaimed, qPrintable(first.output + second.output));
    ProgramRun &claimant = firstClaimed ? first : second;
    ProgramRun &other = firstClaimed ? second : first;
    QVERIFY(other.waitForEnd());
    QVERIFY2(other.output.contains(kNotClaimed) && other.output.contains(kHandedOver), qPrintable(other.output));
    QCOMPARE(lockHolder(lockPath()), claimant.process.processId());
}

// Another user's entry under the name the socket had in the shared temporary folder changes
// nothing: the socket lies in a 0700 folder of this user's.
void SingleInstanceTest::socketLiesInAFolderOfTheUsersOwn()
{
    const QByteArray digest = QCryptographicHash::hash(lockPath().toUtf8(), QCryptographicHash::Sha256);
    const QString sharedName = QDir(QDir::tempPath()).filePath(QStringLiteral("norvane-") + QString::fromLatin1(digest.toHex().left(16)));
    QLocalServer planted;
    QVERIFY(planted.listen(sharedName));
    if (::geteuid() == 0)
        QCOMPARE(::lchown(QFile::encodeName(sharedName).constData(), 65534, 65534), 0);
    QSignalSpy plantedConnections(&planted, &QLocalServer::newConnection);

    LogCapture log;
    SingleInstance instance(lockPath());
    QVERIFY(instance.claim());
    QVERIFY(!log.contains(QStringLiteral("无法监听本地套接字")));
    const QFileInfo socket(instance.socketPath());
    QVERIFY(socket.exists());
    QVERIFY(socket.fileName().startsWith(QStringLiteral("norvane-")));
    QVERIFY(instance.socketPath().size() < 108);
    const QFileInfo folder(socket.absolutePath());
    QVERIFY(folder.absoluteFilePath() != QFileInfo(sharedName).absolutePath());
    struct stat status {};
    QCOMPARE(::lstat(QFile::encodeName(folder.absoluteFilePath()).constData(), &status), 0);
    QVERIFY(S_ISDIR(status.st_mode));
    QCOMPARE(status.st_uid, ::geteuid());
    QCOMPARE(status.st_mode & 07777, mode_t(0700));

    verifyLaterStartHandsOver(log);
    QCOMPARE(plantedConnections.count(), 0);
    QVERIFY(planted.isListening() && QFileInfo::exists(sharedName));
}

void SingleInstanceTest::silentConnectionsAreClosedAfterTheWait()
{
    LogCapture log;
    SingleInstance instance(lockPath());
    QCOMPARE(instance.server().requestWait(), 1000);
    QCOMPARE(instance.server().listenCheckInterval(), 2000);
    instance.server().setRequestWait(200);
    QVERIFY(instance.claim());

    // Nothing at all, and a request that never ends its line.
    QLocalSocket silent;
    QLocalSocket unfinished;
    QSignalSpy silentEnded(&silent, &QLocalSocket::disconnected);
    QSignalSpy unfinishedEnded(&unfinished, &QLocalSocket::disconnected);
    QElapsedTimer sinceConnected;
    silent.connectToServer(instance.socketPath());
    unfinished.connectToServer(instance.socketPath());
    sinceConnected.start();
    QVERIFY(silent.waitForConnected(1000) && unfinished.waitForConnected(1000));
    unfinished.write("sho");
    QVERIFY(unfinished.flush());

    QVERIFY(waitForEmissions(silentEnded, 1, 5000));
    QVERIFY(waitForEmissions(unfinishedEnded, 1, 5000));
    // Coarse timers may fire up to 5 % early.
    QVERIFY(sinceConnected.elapsed() >= 190);
    QCOMPARE(log.count(QStringLiteral("毫秒内没有发送完整请求, 已关闭")), 2);
    verifyLaterStartHandsOver(log);
}

void SingleInstanceTest::moreConnectionsThanTheCapDoNotStopAHandOver()
{
    LogCapture log;
    SingleInstance instance(lockPath());
    QVERIFY(instance.claim());

    // All of them wait in the queue before the server takes the first: one burst.
    constexpr int kSilent = 4 * ShowRequestServer::kMaxOpenConnections;
    std::vector<std::unique_ptr<QLocalSocket>> silent;
    std::vector<std::unique_ptr<QSignalSpy>> ended;
    for (int i = 0; i < kSilent; ++i) {
        auto &socket = *silent.emplace_back(std::make_unique<QLocalSocket>());
        ended.emplace_back(std::make_unique<QSignalSpy>(&socket, &QLocalSocket::disconnected));
        socket.connectToServer(instance.socketPath());
        QVERIFY(socket.waitForConnected(1000));
    }
    // The server ends every one of them; the silent ones it took waited their time, the rest
    // were closed at once.
    for (const auto &spy : ended)
        QVERIFY(waitForEmissions(*spy, 1, 10000));
    const int waited = log.count(QStringLiteral("毫秒内没有发送完整请求, 已关闭"));
    QVERIFY2(waited >= ShowRequestServer::kMaxOpenConnections && waited < kSilent, qPrintable(QString::number(waited)));
    QVERIFY(log.contains(QStringLiteral("[SingleInstance] 同时打开的连接已达上限")));
    QVERIFY(log.count(QStringLiteral("[SingleInstance] 同时打开的连接已达上限")) < kSilent - waited);
    QVERIFY(instance.server().isListening());
    verifyLaterStartHandsOver(log);
}

void SingleInstanceTest::serverListensAgainWhenItsSocketGoes_data()
{
    QTest::addColumn<bool>("descriptorsRunOut");
    QTest::newRow("the socket file removed") << false;
    // Qt closes the server when it cannot accept a connection.
    QTest::newRow("no descriptor left to accept a connection") << true;
}

void SingleInstanceTest::serverListensAgainWhenItsSocketGoes()
{
    QFETCH(bool, descriptorsRunOut);

    LogCapture log;
    SingleInstance instance(lockPath());
    instance.server().setListenCheckInterval(100);
    QVERIFY(instance.claim());

    if (!descriptorsRunOut) {
        QVERIFY(QFile::remove(instance.socketPath()));
    } else {
        // A connection waits to be accepted while every descriptor this process may have is
        // taken; the descriptors come back before the later start, which needs some.
        QLocalSocket waiting;
        waiting.connectToServer(instance.socketPath());
        QVERIFY(waiting.waitForConnected(1000));
        DescriptorsTaken taken;
        QVERIFY(taken.takeAll());
        QTRY_VERIFY(log.contains(QStringLiteral("[SingleInstance] 本地套接字已失效, 重新监听")));
    }
    QTRY_VERIFY(log.contains(QStringLiteral("[SingleInstance] 已重新监听本地套接字")));
    QVERIFY(instance.server().isListening());
    verifyLaterStartHandsOver(log);
}

void SingleInstanceTest::startWithoutTheLockRepairsOnlyWhenNoOtherClientRuns_data()
{
    QTest::addColumn<bool>("otherClientRuns");
    QTest::newRow("no other client") << false;
    // Of another data folder, which no socket of this one reaches.
    QTest::newRow("another client of the user runs") << true;
}

void SingleInstanceTest::startWithoutTheLockRepairsOnlyWhenNoOtherClientRuns()
{
    QFETCH(bool, otherClientRuns);
    if (otherClientRuns) {
        ProgramRun &other = startProbe(QStringLiteral("hold"), lockPath());
        QVERIFY(other.waitFor(QStringLiteral("probe holds")));
    }
    ProgramRun &start = startProbe(QStringLiteral("claim"), m_data->filePath(QStringLiteral("missing/norvane_instance.lock")));
    QVERIFY2(start.waitFor(kClaimed), qPrintable(start.output));
    QVERIFY(start.output.contains(QStringLiteral("[SingleInstance] 无法创建实例锁文件")));
    QVERIFY2(start.output.contains(otherClientRuns ? QStringLiteral("may repair: no") : QStringLiteral("may repair: yes")),
             qPrintable(start.output));
}

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "tst_singleinstance.moc"
