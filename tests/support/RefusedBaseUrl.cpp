#include "support/RefusedBaseUrl.h"

#include <QHostAddress>
#include <QTcpServer>

QString refusedBaseUrl()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("http://127.0.0.1:%1/api/v1/").arg(port);
}
