#include "app/SingleInstance.h"

#include "platform/files/UserRuntimeFolder.h"
#include "platform/process/RunningProgram.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDebug>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>
#include <QWindow>

namespace Norvane::App {

namespace {

// A client that starts at the same moment as this one may still be opening its socket.
constexpr int kReachRunningClientMs = 3000;
constexpr int kRetryMs = 100;
// A running client answers at once; one whose event loop is held up gets more attempts.
constexpr int kReplyWaitMs = 1000;
// A start writes its lock right after creating it: an unreadable lock this young may be one.
constexpr qint64 kBeingWrittenMs = 1000;

} // namespace

struct SingleInstance::Holder
{
    enum class State {
        None,
        Live,
        Dead,
        Unreadable,
        BeingWritten,
        OtherHost,
        OtherProgram,
    };
    State state = State::None;
    qint64 pid = 0;
    QString host;
};

QString SingleInstance::lockFilePathForThisUser()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(folder);
    return folder + QStringLiteral("/norvane_instance.lock");
}

SingleInstance::SingleInstance(const QString &lockFilePath, QObject *parent)
    : QObject(parent)
    , m_lock(lockFilePath)
{
    // The lock is held as long as the client runs: age never makes it stale, only a holder that
    // is not shown to be a live client.
    m_lock.setStaleLockTime(0);
    connect(&m_server, &ShowRequestServer::showRequested, this, &SingleInstance::showWindow);
}

SingleInstance::~SingleInstance() = default;

// The name stands for the user's data folder, so that clients of several data folders of one
// user (the suites' clients) keep apart; the folder it lies in stands for the user.
QString SingleInstance::socketName(const QString &lockFilePath)
{
    const QByteArray digest = QCryptographicHash::hash(lockFilePath.toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("norvane-") + QString::fromLatin1(digest.toHex().left(16));
}

bool SingleInstance::claim()
{
    QString folderError;
    const QString folder = Platform::userRuntimeFolder(&folderError);
    if (folder.isEmpty())
        qWarning() << "[SingleInstance] 没有本用户专用的文件夹, 不使用本地套接字, 只由实例锁防止重复运行:" << folderError;
    else
        m_socketPath = folder + QLatin1Char('/') + socketName(m_lock.fileName());

    const QDeadlineTimer deadline(kReachRunningClientMs);
    Holder replaced;
    bool toldRunning = false;
    bool toldWaiting = false;
    bool toldHeld = false;
    QString unreached;
    while (true) {
        // A running client that answers takes the start over, whatever the lock says: a client
        // may run without the lock (a data folder it may not write), or hold one this start
        // cannot check.
        const int replyWait = int(qBound(qint64(kRetryMs), deadline.remainingTime(), qint64(kReplyWaitMs)));
        if (handOver(replyWait, &unreached)) {
            qDebug() << "[SingleInstance] 已请求正在运行的客户端显示窗口, 本次启动结束";
            return false;
        }

        // Read first for the log: tryLock takes a lock of a dead process over by itself.
        const Holder before = readHolder();
        if (m_lock.tryLock(0)) {
            if (before.state != Holder::State::None)
                logTakeOver(before);
            else if (replaced.state != Holder::State::None)
                logTakeOver(replaced);
            serve();
            return true;
        }
        if (m_lock.error() != QLockFile::LockFailedError) {
            qWarning() << "[SingleInstance] 无法创建实例锁文件:" << m_lock.fileName() << "错误:" << m_lock.error();
            goOnWithoutLock();
            return true;
        }

        const Holder holder = readHolder();
        bool holderRuns = false;
        switch (holder.state) {
        case Holder::State::None:
            // Gone since: look again.
            break;
        case Holder::State::Live:
            if (!toldRunning)
                qDebug() << "[SingleInstance] 客户端已在运行, PID:" << holder.pid;
            toldRunning = true;
            holderRuns = true;
            break;
        case Holder::State::BeingWritten:
            if (!toldWaiting)
                qDebug() << "[SingleInstance] 实例锁刚刚创建, 尚无内容, 等待其写入:" << m_lock.fileName();
            toldWaiting = true;
            break;
        default:
            switch (takeOver(holder)) {
            case TakeOver::Removed:
                replaced = holder;
                continue;
            case TakeOver::Changed:
                break;
            case TakeOver::Held:
                if (!toldHeld)
                    qWarning() << "[SingleInstance] 实例锁无法移除, 仍被某个进程持有:" << m_lock.fileName();
                toldHeld = true;
                holderRuns = true;
                break;
            case TakeOver::Impossible:
                goOnWithoutLock();
                return true;
            }
            break;
        }
        if (deadline.hasExpired()) {
            if (holderRuns) {
                // Two clients of one user would undo each other's proxy: this start ends; the
                // user may start again once the running client shows or ends.
                qWarning() << "[SingleInstance] 无法联系正在运行的客户端:" << unreached;
                return false;
            }
            qWarning() << "[SingleInstance] 未能及时接管实例锁, 不使用实例锁继续启动:" << m_lock.fileName();
            goOnWithoutLock();
            return true;
        }
        QThread::msleep(kRetryMs);
    }
}

SingleInstance::Holder SingleInstance::readHolder() const
{
    const QFileInfo file(m_lock.fileName());
    if (!file.exists() && !file.isSymLink())
        return {};
    Holder holder;
    if (!m_lock.getLockInfo(&holder.pid, &holder.host, nullptr)) {
        // An empty or garbled file, a process id of 0, a link to nowhere. A start never makes a
        // link, so only a file may be one being written.
        const bool young = !file.isSymLink()
            && qAbs(file.lastModified().msecsTo(QDateTime::currentDateTime())) < kBeingWrittenMs;
        holder.state = young ? Holder::State::BeingWritten : Holder::State::Unreadable;
        holder.pid = 0;
        return holder;
    }
    if (holder.host != QSysInfo::machineHostName())
        holder.state = Holder::State::OtherHost;
    else if (!Platform::isProcessRunning(holder.pid))
        holder.state = Holder::State::Dead;
    else if (!Platform::isThisProgram(holder.pid))
        holder.state = Holder::State::OtherProgram;
    else
        holder.state = Holder::State::Live;
    return holder;
}

bool SingleInstance::handOver(int replyWaitMs, QString *error) const
{
    if (m_socketPath.isEmpty()) {
        *error = QStringLiteral("no socket");
        return false;
    }
    return ShowRequestServer::askToShow(m_socketPath, kRetryMs, replyWaitMs, error);
}

SingleInstance::TakeOver SingleInstance::takeOver(const Holder &holder)
{
    // Two starts that found the same unusable lock: one at a time removes it, after looking
    // again, so that neither removes the lock the other one has made in the meantime.
    QLockFile removal(m_lock.fileName() + QStringLiteral(".rmlock"));
    if (!removal.tryLock(0)) {
        if (removal.error() == QLockFile::LockFailedError)
            return TakeOver::Changed;
        qWarning() << "[SingleInstance] 无法接管实例锁, 不使用实例锁继续启动:" << m_lock.fileName()
                   << "错误:" << removal.error();
        return TakeOver::Impossible;
    }
    const Holder now = readHolder();
    if (now.state != holder.state || now.pid != holder.pid)
        return TakeOver::Changed;
    const QString path = m_lock.fileName();
    const QFileInfo file(path);
    // removeStaleLockFile opens the file first, which a link to nowhere is not; it leaves a lock
    // that a living process still holds.
    const bool removed = file.isSymLink() && !file.exists() ? QFile::remove(path) : m_lock.removeStaleLockFile();
    if (removed || !(QFileInfo::exists(path) || QFileInfo(path).isSymLink()))
        return removed ? TakeOver::Removed : TakeOver::Changed;
    return TakeOver::Held;
}

void SingleInstance::logTakeOver(const Holder &holder) const
{
    switch (holder.state) {
    case Holder::State::None:
        break;
    case Holder::State::Live:
    case Holder::State::Dead:
        qDebug() << "[SingleInstance] 上次运行留下的实例锁已失效, 已接管";
        break;
    case Holder::State::Unreadable:
    case Holder::State::BeingWritten:
        qWarning() << "[SingleInstance] 实例锁无法读取 (空文件、内容无效或失效的链接), 已接管:" << m_lock.fileName();
        break;
    case Holder::State::OtherHost:
        qWarning() << "[SingleInstance] 实例锁由另一台机器写下, 已接管, 主机:" << holder.host << "PID:" << holder.pid;
        break;
    case Holder::State::OtherProgram:
        qWarning() << "[SingleInstance] 实例锁中的进程不是本客户端, 已接管, PID:" << holder.pid;
        break;
    }
}

void SingleInstance::goOnWithoutLock()
{
    // The client still starts, as it would have without the guard, and still serves later
    // starts; but a client of the user that no socket reached may run, and the crash repair
    // would end its core and take its proxy away.
    m_mayRepair = !Platform::anotherProcessOfThisUserRunsThisProgram();
    serve();
}

void SingleInstance::serve()
{
    if (!m_socketPath.isEmpty())
        m_server.listen(m_socketPath);
}

void SingleInstance::setWindow(QWindow *window)
{
    m_window = window;
}

void SingleInstance::showWindow()
{
    if (!m_window)
        return;
    m_window->setWindowStates(m_window->windowStates() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->requestActivate();
}

} // namespace Norvane::App
