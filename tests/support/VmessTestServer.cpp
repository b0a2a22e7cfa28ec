#include "support/VmessTestServer.h"

#include "platform/process/TiedChildProcess.h"
#include "support/LocalPort.h"
#include "support/TestCertificate.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

VmessTestServer::~VmessTestServer()
{
    m_process.kill();
    m_process.waitForFinished();
}

QString VmessTestServer::clientLink(quint16 port, const QString &network)
{
    const QJsonObject server{{"v", "2"}, {"ps", "本机测试节点"}, {"add", "127.0.0.1"}, {"port", QString::number(port)},
                             {"id", userId()}, {"aid", "0"}, {"scy", "auto"}, {"net", network},
                             {"type", "none"}, {"host", ""}, {"path", "/tunnel"}, {"tls", ""}};
    return QStringLiteral("vmess://") + QString::fromLatin1(QJsonDocument(server).toJson(QJsonDocument::Compact).toBase64());
}

bool VmessTestServer::start(const QString &network, const QString &wsPath, const TestCertificate *certificate,
                            const QString &tunnelOnlyName)
{
    m_port = LocalPort::pickFree();
    QJsonObject stream{{"network", network}};
    if (network == QLatin1String("ws"))
        stream.insert("wsSettings", QJsonObject{{"path", wsPath}});
    if (certificate) {
        stream.insert("security", "tls");
        stream.insert("tlsSettings", QJsonObject{{"certificates", QJsonArray{QJsonObject{
                                         {"certificateFile", certificate->certificatePath()},
                                         {"keyFile", certificate->keyPath()}}}}});
    }
    const QJsonObject inbound{
        {"protocol", "vmess"},
        {"listen", "127.0.0.1"},
        {"port", m_port},
        {"settings", QJsonObject{{"clients", QJsonArray{QJsonObject{{"id", userId()}, {"alterId", 0}}}}}},
        {"streamSettings", stream}};
    // IPv4 only: v2ray's DNS also answers ::1 for a name it maps to 127.0.0.1, where nothing serves.
    const QJsonObject config{
        {"log", QJsonObject{{"loglevel", "warning"}}},
        {"dns", QJsonObject{{"hosts", QJsonObject{{tunnelOnlyName, "127.0.0.1"}}}, {"servers", QJsonArray{"localhost"}}}},
        {"inbounds", QJsonArray{inbound}},
        {"outbounds", QJsonArray{QJsonObject{{"protocol", "freedom"},
                                             {"settings", QJsonObject{{"domainStrategy", "UseIPv4"}}}}}}};

    QFile file(m_dir.filePath(QStringLiteral("server.json")));
    if (!m_dir.isValid() || !file.open(QIODevice::WriteOnly)) {
        m_error = QStringLiteral("cannot write the server's configuration");
        return false;
    }
    file.write(QJsonDocument(config).toJson());
    file.close();

    m_process.setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(&m_process, &QProcess::readyRead, [this] { m_output += m_process.readAll(); });
    Norvane::Platform::startTiedChild(m_process, QStringLiteral("/usr/bin/v2ray"), {"-config", file.fileName()});
    if (!m_process.waitForStarted(5000) || !LocalPort::waitUntilServed(m_port, 5000)) {
        m_error = QStringLiteral("v2ray does not serve port %1: %2 %3")
                      .arg(m_port)
                      .arg(m_process.errorString(), output());
        return false;
    }
    return true;
}

QString VmessTestServer::output()
{
    m_output += m_process.readAll();
    return QString::fromUtf8(m_output);
}
