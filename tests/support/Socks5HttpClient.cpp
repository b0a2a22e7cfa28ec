#include "support/Socks5HttpClient.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTest>

namespace {

bool waitForBytes(QTcpSocket &socket, qint64 count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return socket.bytesAvailable() >= count; }, timeoutMs);
}

QByteArray connectRequest(const QString &host, quint16 port)
{
    QByteArray request("\x05\x01\x00", 3);
    const QHostAddress address(host);
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        const quint32 ip = address.toIPv4Address();
        request += '\x01';
        for (int shift : {24, 16, 8, 0})
            request += char((ip >> shift) & 0xff);
    } else {
        const QByteArray name = host.toUtf8();
        request += '\x03';
        request += char(name.size());
        request += name;
    }
    request += char(port >> 8);
    request += char(port & 0xff);
    return request;
}

} // namespace

Socks5HttpClient::Result Socks5HttpClient::get(quint16 proxyPort, const QString &host, quint16 port, int timeoutMs)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, proxyPort);
    if (!QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::ConnectedState; }, timeoutMs))
        return {{}, QStringLiteral("cannot connect to the proxy: %1").arg(socket.errorString())};

    socket.write(QByteArray("\x05\x01\x00", 3));
    if (!waitForBytes(socket, 2, timeoutMs) || socket.read(2) != QByteArray("\x05\x00", 2))
        return {{}, QStringLiteral("the proxy refused the greeting without authentication")};

    socket.write(connectRequest(host, port));
    if (!waitForBytes(socket, 5, timeoutMs))
        return {{}, QStringLiteral("the proxy did not answer the connect request")};
    const QByteArray head = socket.peek(5);
    if (head[1] != '\0')
        return {{}, QStringLiteral("the proxy refused the connect request with code %1").arg(int(head[1]))};
    const qint64 replySize = head[3] == '\x01' ? 10 : head[3] == '\x04' ? 22 : 7 + quint8(head[4]);
    if (!waitForBytes(socket, replySize, timeoutMs))
        return {{}, QStringLiteral("the proxy's connect reply is cut short")};
    socket.read(replySize);

    socket.write("GET / HTTP/1.1\r\nHost: " + host.toUtf8() + ':' + QByteArray::number(port)
                 + "\r\nConnection: close\r\n\r\n");
    QByteArray answer;
    // The answer ends when the connection does; a cut-off answer shows in the checks below.
    (void)QTest::qWaitFor([&] {
        answer += socket.readAll();
        return socket.state() == QAbstractSocket::UnconnectedState;
    }, timeoutMs);
    answer += socket.readAll();
    const qsizetype headEnd = answer.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return {{}, QStringLiteral("no HTTP answer came through the proxy (%1 bytes)").arg(answer.size())};
    if (!answer.startsWith("HTTP/1.1 200 "))
        return {{}, QStringLiteral("the HTTP answer is not 200: %1").arg(QString::fromUtf8(answer.left(40)))};
    return {answer.mid(headEnd + 4), {}};
}
