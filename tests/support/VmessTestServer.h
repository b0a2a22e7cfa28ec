#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class TestCertificate;

// A vmess server on 127.0.0.1, run by Debian's v2ray, for the proxy core's tests. Its own DNS
// maps one test name to 127.0.0.1 and its freedom outbound resolves through that DNS, so the
// name leads to a local server only when it came through the tunnel. v2ray's output (with its
// access log, "accepted tcp:NAME:PORT") is kept.
class VmessTestServer
{
public:
    VmessTestServer() = default;
    ~VmessTestServer();

    static QString userId() { return QStringLiteral("b831381d-6324-4d53-ad4f-8cda48b30811"); }
    // A client's link to a server of this user on 127.0.0.1 (ws path "/tunnel").
    static QString clientLink(quint16 port, const QString &network);

    // `network` "tcp" or "ws" (on `wsPath`); TLS with the certificate when one is given.
    bool start(const QString &network, const QString &wsPath, const TestCertificate *certificate,
               const QString &tunnelOnlyName);
    quint16 port() const { return m_port; }
    QString output();
    QString errorString() const { return m_error; }

private:
    QTemporaryDir m_dir;
    QByteArray m_output;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};
