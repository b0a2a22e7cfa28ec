#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QWindow>

#include <memory>

namespace Norvane::App {

namespace {

const QByteArray kShowRequest = "show\n";
// A client that starts at the same moment as this one may still be opening its socket.
constexpr int kReachRunningClientMs = 3000;
constexpr int kRetryMs = 100;

} // namespace

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
    // The lock is held as long as the client runs: only a dead holder makes it stale, never age.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

// The socket's name stands for the user: it is made of the lock's path, which lies in the
// user's own folder, since local socket names (named pipes on Windows) are shared by all users.
QString SingleInstance::serverName(const QString &lockFilePath)
{
    const QByteArray digest = QCryptographicHash::hash(lockFilePath.toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("norvane-") + QString::fromLatin1(digest.toHex().left(16));
}

bool SingleInstance::claim()
{
    const bool leftBehind = QFileInfo::exists(m_lock.fileName());
    if (!m_lock.tryLock(0)) {
        if (m_lock.error() == QLockFile::LockFailedError) {
            qint64 pid = 0;
            QString host;
            QString application;
            m_lock.getLockInfo(&pid, &host, &application);
            qDebug() << "[SingleInstance] 客户端已在运行, PID:" << pid;
            askRunningClientToShow();
            return false;
        }
        // Without a usable lock the client still starts, as it would have without the guard.
        qWarning() << "[SingleInstance] 无法创建实例锁文件:" << m_lock.fileName() << "错误:" << m_lock.error();
        return true;
    }

    if (leftBehind)
        qDebug() << "[SingleInstance] 上次运行留下的实例锁已失效, 已接管";
    const QString name = serverName(m_lock.fileName());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Holding the lock, this is the only client of the user: a socket left by a crash is its own.
    QLocalServer::removeServer(name);
    if (!m_server->listen(name))
        qWarning() << "[SingleInstance] 无法监听本地套接字:" << name << m_server->errorString();
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onRequest);
    return true;
}

void SingleInstance::setWindow(QWindow *window)
{
    m_window = window;
}

void SingleInstance::askRunningClientToShow()
{
    const QString name = serverName(m_lock.fileName());
    const QDeadlineTimer deadline(kReachRunningClientMs);
    std::unique_ptr<QLocalSocket> socket;
    while (true) {
        // A socket whose attempt failed has forgotten the name: each attempt takes a new one.
        socket = std::make_unique<QLocalSocket>();
        socket->connectToServer(name);
        if (socket->waitForConnected(kRetryMs))
            break;
        if (deadline.hasExpired()) {
            qWarning() << "[SingleInstance] 无法联系正在运行的客户端:" << socket->errorString();
            return;
        }
        QThread::msleep(kRetryMs);
    }
    socket->write(kShowRequest);
    if (socket->waitForBytesWritten(kReachRunningClientMs))
        qDebug() << "[SingleInstance] 已请求正在运行的客户端显示窗口, 本次启动结束";
    else
        qWarning() << "[SingleInstance] 请求正在运行的客户端显示窗口失败:" << socket->errorString();
    socket->disconnectFromServer();
}

void SingleInstance::onRequest()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket]() {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > kShowRequest.size()) {
                    qWarning() << "[SingleInstance] 未知请求, 已忽略, 长度:" << socket->bytesAvailable();
                    socket->disconnectFromServer();
                }
                return;
            }
            const QByteArray request = socket->readLine();
            if (request == kShowRequest) {
                qDebug() << "[SingleInstance] 另一次启动请求显示窗口";
                showWindow();
            } else {
                qWarning() << "[SingleInstance] 未知请求, 已忽略, 长度:" << request.size();
            }
            socket->disconnectFromServer();
        });
    }
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
