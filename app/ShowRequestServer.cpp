#include "app/ShowRequestServer.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

namespace Norvane::App {

namespace {

const QByteArray kShowRequest = "show\n";
const QByteArray kShownReply = "shown\n";

} // namespace

ShowRequestServer::ShowRequestServer(QObject *parent)
    : QObject(parent)
    , m_server(new QLocalServer(this))
{
    // Named pipes on Windows are shared by all users: only this user may open the pipe. Here the
    // socket lies in a folder of the user's own.
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &ShowRequestServer::acceptConnections);
    m_listenCheck.setInterval(2000);
    connect(&m_listenCheck, &QTimer::timeout, this, &ShowRequestServer::checkListening);
}

ShowRequestServer::~ShowRequestServer() = default;

bool ShowRequestServer::listen(const QString &path)
{
    m_path = path;
    m_listenCheck.start();
    m_server->close();
    QLocalServer::removeServer(path);
    if (!m_server->listen(path)) {
        qWarning() << "[SingleInstance] 无法监听本地套接字:" << path << m_server->errorString();
        m_listenFailed = true;
        return false;
    }
    m_listenFailed = false;
    return true;
}

bool ShowRequestServer::isListening() const
{
    return m_server->isListening();
}

bool ShowRequestServer::askToShow(const QString &path, int connectWaitMs, int replyWaitMs, QString *error)
{
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(connectWaitMs)) {
        *error = socket.errorString();
        return false;
    }
    socket.write(kShowRequest);
    socket.flush();
    const QDeadlineTimer deadline(replyWaitMs);
    while (!socket.canReadLine() && !deadline.hasExpired()
           && socket.waitForReadyRead(int(deadline.remainingTime()))) {
    }
    // Whatever accepts the request but does not answer it has not shown the window.
    if (!socket.canReadLine()) {
        *error = QStringLiteral("no answer within %1 ms").arg(replyWaitMs);
        return false;
    }
    if (socket.readLine() != kShownReply) {
        *error = QStringLiteral("an answer that is not a client's");
        return false;
    }
    return true;
}

void ShowRequestServer::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        if (m_open.size() >= kMaxOpenConnections) {
            // Logged once for each burst: a flood would otherwise flood the log as well.
            if (!m_refusing)
                qWarning() << "[SingleInstance] 同时打开的连接已达上限" << kMaxOpenConnections << ", 关闭新的连接";
            m_refusing = true;
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_open.insert(socket);
        auto *wait = new QTimer(socket);
        wait->setSingleShot(true);
        connect(wait, &QTimer::timeout, this, [this, socket]() {
            if (!m_open.contains(socket))
                return;
            qWarning() << "[SingleInstance] 连接在" << m_requestWait << "毫秒内没有发送完整请求, 已关闭";
            endConnection(socket, false);
        });
        wait->start(m_requestWait);
        connect(socket, &QLocalSocket::disconnected, this, [this, socket]() { endConnection(socket, false); });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket]() { readRequest(socket); });
        // Bytes that came with the connection do not signal readyRead again.
        if (socket->bytesAvailable() > 0)
            readRequest(socket);
    }
}

void ShowRequestServer::readRequest(QLocalSocket *socket)
{
    if (!m_open.contains(socket))
        return;
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kShowRequest.size()) {
            qWarning() << "[SingleInstance] 未知请求, 已忽略, 长度:" << socket->bytesAvailable();
            endConnection(socket, false);
        }
        return;
    }
    const QByteArray request = socket->readLine();
    if (request != kShowRequest) {
        qWarning() << "[SingleInstance] 未知请求, 已忽略, 长度:" << request.size();
        endConnection(socket, false);
        return;
    }
    qDebug() << "[SingleInstance] 另一次启动请求显示窗口";
    emit showRequested();
    // The later start ends only once it has this answer: it proves a client took the request.
    socket->write(kShownReply);
    endConnection(socket, true);
}

void ShowRequestServer::endConnection(QLocalSocket *socket, bool graceful)
{
    if (!m_open.remove(socket))
        return;
    socket->disconnect(this);
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (graceful && socket->state() == QLocalSocket::ConnectedState) {
        socket->disconnectFromServer();
    } else {
        socket->abort();
        socket->deleteLater();
    }
    if (m_open.size() < kMaxOpenConnections)
        m_refusing = false;
    checkListening();
}

void ShowRequestServer::checkListening()
{
    if (m_path.isEmpty() || (m_server->isListening() && QFileInfo::exists(m_path)))
        return;
    // Logged when the socket is lost, and again only once it could be listened on in between.
    if (!m_listenFailed)
        qWarning() << "[SingleInstance] 本地套接字已失效, 重新监听:" << m_path;
    const bool failedBefore = m_listenFailed;
    m_server->close();
    QLocalServer::removeServer(m_path);
    if (m_server->listen(m_path)) {
        m_listenFailed = false;
        qDebug() << "[SingleInstance] 已重新监听本地套接字:" << m_path;
    } else {
        if (!failedBefore)
            qWarning() << "[SingleInstance] 无法监听本地套接字:" << m_path << m_server->errorString();
        m_listenFailed = true;
    }
}

} // namespace Norvane::App
