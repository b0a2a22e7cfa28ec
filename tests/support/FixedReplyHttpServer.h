#pragma once

#include <QByteArray>
#include <QObject>
#include <QTcpServer>

// An HTTP server on 127.0.0.1 that answers every request with 200 and one fixed body, then closes.
class FixedReplyHttpServer : public QObject
{
    Q_OBJECT

public:
    explicit FixedReplyHttpServer(const QByteArray &body, QObject *parent = nullptr);

    bool listen();
    quint16 port() const { return m_server.serverPort(); }
    int requestCount() const { return m_requests; }

private:
    void answer();

    QTcpServer m_server;
    QByteArray m_body;
    int m_requests = 0;
};
