#include "support/LocalPort.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

quint16 LocalPort::pickFree()
{
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
}

bool LocalPort::isFree(quint16 port)
{
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost, port);
}

bool LocalPort::waitUntilServed(quint16 port, int timeoutMs)
{
    return QTest::qWaitFor([port] {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        const bool served = socket.waitForConnected(200);
        if (!served)
            QTest::qWait(50);
        return served;
    }, timeoutMs);
}
