#pragma once

#include <QByteArray>
#include <QString>

// One HTTP GET of "/" through a SOCKS5 proxy on 127.0.0.1, without authentication. A host that
// is not an IPv4 address goes to the proxy as a name (address type 3), so the proxy resolves it.
// The event loop runs while it waits, so servers of the same thread can answer.
class Socks5HttpClient
{
public:
    struct Result
    {
        QByteArray body;  // of a 200 answer
        QString error;    // empty on success
    };

    static Result get(quint16 proxyPort, const QString &host, quint16 port, int timeoutMs = 10000);
};
