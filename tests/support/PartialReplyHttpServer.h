#pragma once

#include <QByteArray>
#include <QObject>
#include <QTcpServer>

// An HTTP server on 127.0.0.1 that answers every request with a status line, headers that
// promise a longer body and only the first part of that body; then it closes the connection,
// or keeps it open and sends nothing more.
class PartialReplyHttpServer : public QObject
{
    Q_OBJECT

public:
    enum class Ending { Close, Stall };

    PartialReplyHttpServer(int status, const QByteArray &bodyPart, Ending ending, QObject *parent = nullptr);

    bool listen();
    // "http://127.0.0.1:<port>/api/v1/"
    QString baseUrl() const;

private:
    void answer();

    QTcpServer m_server;
    int m_status;
    QByteArray m_bodyPart;
    Ending m_ending;
};
