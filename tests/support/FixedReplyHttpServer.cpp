#include "support/FixedReplyHttpServer.h"

#include <QTcpSocket>

FixedReplyHttpServer::FixedReplyHttpServer(const QByteArray &body, QObject *parent)
    : QObject(parent)
    , m_body(body)
{
    connect(&m_server, &QTcpServer::newConnection, this, &FixedReplyHttpServer::answer);
}

bool FixedReplyHttpServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

void FixedReplyHttpServer::answer()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            if (!socket->peek(socket->bytesAvailable()).contains("\r\n\r\n"))
                return;
            socket->readAll();
            ++m_requests;
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\nContent-Length: "
                          + QByteArray::number(m_body.size()) + "\r\n\r\n" + m_body);
            socket->disconnectFromHost();
        });
    }
}
