#include "support/PartialReplyHttpServer.h"

#include <QTcpSocket>

PartialReplyHttpServer::PartialReplyHttpServer(int status, const QByteArray &bodyPart, Ending ending,
                                               QObject *parent)
    : QObject(parent)
    , m_status(status)
    , m_bodyPart(bodyPart)
    , m_ending(ending)
{
    connect(&m_server, &QTcpServer::newConnection, this, &PartialReplyHttpServer::answer);
}

bool PartialReplyHttpServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QString PartialReplyHttpServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1/api/v1/").arg(m_server.serverPort());
}

void PartialReplyHttpServer::answer()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            if (!socket->peek(socket->bytesAvailable()).contains("\r\n\r\n"))
                return;
            socket->readAll();
            socket->write("HTTP/1.1 " + QByteArray::number(m_status)
                          + " Status\r\nContent-Type: application/json\r\nContent-Length: "
                          + QByteArray::number(m_bodyPart.size() + 1000) + "\r\n\r\n" + m_bodyPart);
            socket->flush();
            if (m_ending == Ending::Close)
                socket->disconnectFromHost();
        });
    }
}
