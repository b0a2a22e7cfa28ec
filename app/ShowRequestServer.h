#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

class QLocalServer;
class QLocalSocket;

namespace Norvane::App {

// The running client's end of the hand-over: a local socket on which a later start asks for
// the window ("show\n") and is answered ("shown\n") once the request is taken. A connection
// that sends no whole request in time is closed, only so many are open at once, and the server
// listens again when its socket has gone (removed, or closed by Qt after a failed accept), so
// that silent peers cannot use it up.
class ShowRequestServer : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxOpenConnections = 8;

    explicit ShowRequestServer(QObject *parent = nullptr);
    ~ShowRequestServer() override;

    // Listens on the socket file `path`, replacing what lies there: the caller holds the lock
    // or found no client answering on it, so an entry there is left by a crash.
    bool listen(const QString &path);
    bool isListening() const;

    // The later start's end: asks the client listening at `path` to show its window. True once
    // it has answered; otherwise *error says why.
    static bool askToShow(const QString &path, int connectWaitMs, int replyWaitMs, QString *error);

    // How long a connection may take to send its whole request (1000 ms).
    int requestWait() const { return m_requestWait; }
    void setRequestWait(int milliseconds) { m_requestWait = milliseconds; }
    // How often the server checks that it still listens and its socket file is there (2000 ms).
    int listenCheckInterval() const { return m_listenCheck.interval(); }
    void setListenCheckInterval(int milliseconds) { m_listenCheck.setInterval(milliseconds); }

signals:
    void showRequested();

private:
    void acceptConnections();
    void readRequest(QLocalSocket *socket);
    // Ends the connection once, graceful to let a reply out; counts it as closed.
    void endConnection(QLocalSocket *socket, bool graceful);
    void checkListening();

    QLocalServer *m_server;
    QString m_path;
    QSet<QLocalSocket *> m_open;
    QTimer m_listenCheck;
    int m_requestWait = 1000;
    bool m_refusing = false;
    bool m_listenFailed = false;
};

} // namespace Norvane::App
