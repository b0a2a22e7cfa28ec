#include "platform/process/TiedChildProcess.h"
#include "proxycore/V2RayConfigTranslator.h"
#include "support/FixedReplyHttpServer.h"
#include "support/LocalPort.h"
#include "support/ProxyCoreProcesses.h"
#include "support/Socks5HttpClient.h"
#include "support/TestCertificate.h"
#include "support/TestEnvironment.h"
#include "support/VmessTestServer.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <memory>

using Norvane::Platform::V2RayConfigTranslator;
using Norvane::Platform::V2RayTranslation;

namespace {

constexpr quint16 kMixedPort = 10315;
constexpr quint16 kDnsPort = 16450;
const QString kTunnelOnlyName = QStringLiteral("tunnel-only.test");
const QByteArray kBody = "answered on 127.0.0.1";

const QStringList kDomesticSuffixes = {"cn", "com.cn", "baidu.com", "qq.com", "taobao.com", "tmall.com",
                                       "jd.com", "sina.com.cn", "sohu.com", "163.com", "bilibili.com",
                                       "douyin.com", "aliyun.com", "360.cn"};
const QStringList kDomesticRanges = {"1.0.1.0/24", "1.0.2.0/23", "1.0.8.0/21", "1.0.32.0/19",
                                     "1.1.0.0/24", "1.1.2.0/23", "1.1.4.0/22", "1.1.8.0/21",
                                     "223.5.5.5/32", "223.6.6.6/32", "114.114.114.114/32"};

// The fields of a vmess link that the client's document uses.
struct LinkServer
{
    QString address = QStringLiteral("vpn.example.com");
    int port = 443;
    QString security = QStringLiteral("auto");
    int alterId = 0;
    QString network = QStringLiteral("tcp");
    QString path;
    QString host;
    QString tls = QStringLiteral("none");
    QString sni;
    bool globalRouting = true;
};

// The proxy core's document as the client writes it for a server.
QJsonObject clientDocument(const LinkServer &server)
{
    QJsonObject vmess{{"type", "vmess"}, {"tag", "proxy"}, {"server", server.address},
                      {"server_port", server.port}, {"uuid", VmessTestServer::userId()},
                      {"security", server.security}, {"alter_id", server.alterId}};
    if (server.network == QLatin1String("ws")) {
        QJsonObject transport{{"type", "ws"}, {"path", server.path.isEmpty() ? "/" : server.path}};
        if (!server.host.isEmpty())
            transport.insert("headers", QJsonObject{{"Host", server.host}});
        vmess.insert("transport", transport);
    }
    if (server.tls == QLatin1String("tls"))
        vmess.insert("tls", QJsonObject{{"enabled", true},
                                        {"server_name", server.sni.isEmpty() ? server.address : server.sni},
                                        {"insecure", false}});

    QJsonArray rules{
        QJsonObject{{"inbound", "dns-in"}, {"outbound", "dns-out"}},
        QJsonObject{{"port", 53}, {"outbound", "dns-out"}},
        QJsonObject{{"ip_cidr", QJsonArray{"10.0.0.0/8", "172.16.0.0/12", "192.168.0.0/16", "127.0.0.0/8"}},
                    {"outbound", "direct"}}};
    if (!server.globalRouting) {
        rules.append(QJsonObject{{"domain_suffix", QJsonArray::fromStringList(kDomesticSuffixes)}, {"outbound", "direct"}});
        rules.append(QJsonObject{{"ip_cidr", QJsonArray::fromStringList(kDomesticRanges)}, {"outbound", "direct"}});
    }

    const QJsonArray dnsServers{
        QJsonObject{{"tag", "dns-remote"}, {"address", "https://1.1.1.1/dns-query"}, {"address_resolver", "dns-direct"}},
        QJsonObject{{"tag", "dns-direct"}, {"address", "223.5.5.5"}, {"address_resolver", "dns-local"}, {"detour", "direct"}},
        QJsonObject{{"tag", "dns-local"}, {"address", "223.5.5.5"}, {"detour", "direct"}},
        QJsonObject{{"tag", "dns-block"}, {"address", "rcode://success"}}};
    return {
        {"log", QJsonObject{{"level", "warning"}}},
        {"dns", QJsonObject{{"servers", dnsServers},
                            {"rules", QJsonArray{QJsonObject{{"domain", server.address}, {"server", "dns-direct"}}}},
                            {"final", "dns-remote"},
                            {"independent_cache", true}}},
        {"inbounds", QJsonArray{QJsonObject{{"type", "mixed"}, {"tag", "mixed-in"}, {"listen", "127.0.0.1"},
                                            {"listen_port", kMixedPort}, {"sniff", true},
                                            {"sniff_override_destination", true}, {"set_system_proxy", false}},
                                QJsonObject{{"type", "direct"}, {"tag", "dns-in"}, {"listen", "127.0.0.1"},
                                            {"listen_port", kDnsPort}}}},
        {"outbounds", QJsonArray{vmess, QJsonObject{{"type", "dns"}, {"tag", "dns-out"}},
                                 QJsonObject{{"type", "direct"}, {"tag", "direct"}},
                                 QJsonObject{{"type", "block"}, {"tag", "block"}}}},
        {"route", QJsonObject{{"rules", rules}, {"final", "proxy"}, {"auto_detect_interface", true}}}};
}

QByteArray documentText(const QJsonObject &document)
{
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

QJsonValue json(const QString &text)
{
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    if (document.isNull())
        qFatal("bad expectation in the test: %s", qPrintable(text));
    return document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
}

QString compact(const QJsonValue &value)
{
    return QString::fromUtf8(value.isArray() ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact)
                                             : QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
}

// The value at `path` (keys, or indexes of arrays) replaced; an undefined value removes it.
QJsonValue edited(const QJsonValue &node, QStringList path, const QJsonValue &value)
{
    if (path.isEmpty())
        return value;
    const QString step = path.takeFirst();
    if (node.isArray()) {
        QJsonArray array = node.toArray();
        const int index = step.toInt();
        if (path.isEmpty() && value.isUndefined())
            array.removeAt(index);
        else
            array[index] = edited(array.at(index), path, value);
        return array;
    }
    QJsonObject object = node.toObject();
    if (path.isEmpty() && value.isUndefined())
        object.remove(step);
    else
        object.insert(step, edited(object.value(step), path, value));
    return object;
}

QByteArray editedDocument(const QStringList &path, const QJsonValue &value)
{
    return documentText(edited(clientDocument({}), path, value).toObject());
}

QJsonObject translated(const LinkServer &server)
{
    const V2RayTranslation translation = V2RayConfigTranslator::translate(documentText(clientDocument(server)));
    if (!translation.error.isEmpty())
        qWarning().noquote() << "translation refused:" << translation.error;
    return translation.config;
}

const char kInbounds[] = R"([
    {"tag": "mixed-in", "protocol": "socks", "listen": "127.0.0.1", "port": 10315,
     "settings": {"auth": "noauth", "udp": true, "ip": "127.0.0.1"},
     "sniffing": {"enabled": true, "destOverride": ["http", "tls"]}},
    {"tag": "dns-in", "protocol": "dokodemo-door", "listen": "127.0.0.1", "port": 16450,
     "settings": {"address": "1.1.1.1", "port": 53, "network": "tcp,udp"}}
])";

// The final server first; the server's own name goes to the direct resolver. ("\/" is JSON's
// slash: moc takes a double slash for a comment even in a raw string.)
const char kDns[] = R"({
    "tag": "dns-internal",
    "servers": [{"address": "https:\/\/1.1.1.1\/dns-query"},
                {"address": "223.5.5.5", "port": 53, "domains": ["full:vpn.example.com"]}]
})";

const char kLog[] = R"({"loglevel": "warning"})";

const char kOtherOutbounds[] = R"([
    {"tag": "dns-out", "protocol": "dns"},
    {"tag": "direct", "protocol": "freedom", "settings": {"domainStrategy": "UseIP"}},
    {"tag": "block", "protocol": "blackhole"}
])";

// %1 the user id, %2 the stream settings.
const char kVmessOutbound[] = R"({
    "tag": "proxy", "protocol": "vmess",
    "settings": {"vnext": [{"address": "vpn.example.com", "port": 443,
                            "users": [{"id": "%1", "alterId": 4, "security": "chacha20-poly1305"}]}]},
    "streamSettings": %2
})";

const char kGlobalRules[] = R"([
    {"type": "field", "inboundTag": ["dns-internal"], "ip": ["1.1.1.1"], "outboundTag": "proxy"},
    {"type": "field", "inboundTag": ["dns-internal"], "ip": ["223.5.5.5"], "outboundTag": "direct"},
    {"type": "field", "inboundTag": ["dns-in"], "outboundTag": "dns-out"},
    {"type": "field", "port": "53", "outboundTag": "dns-out"},
    {"type": "field", "ip": ["10.0.0.0/8", "172.16.0.0/12", "192.168.0.0/16", "127.0.0.0/8"], "outboundTag": "direct"},
    {"type": "field", "network": "tcp,udp", "outboundTag": "proxy"}
])";

const char kSmartRules[] = R"([
    {"type": "field", "inboundTag": ["dns-internal"], "ip": ["1.1.1.1"], "outboundTag": "proxy"},
    {"type": "field", "inboundTag": ["dns-internal"], "ip": ["223.5.5.5"], "outboundTag": "direct"},
    {"type": "field", "inboundTag": ["dns-in"], "outboundTag": "dns-out"},
    {"type": "field", "port": "53", "outboundTag": "dns-out"},
    {"type": "field", "ip": ["10.0.0.0/8", "172.16.0.0/12", "192.168.0.0/16", "127.0.0.0/8"], "outboundTag": "direct"},
    {"type": "field", "outboundTag": "direct", "domain": ["domain:cn", "domain:com.cn", "domain:baidu.com",
        "domain:qq.com", "domain:taobao.com", "domain:tmall.com", "domain:jd.com", "domain:sina.com.cn",
        "domain:sohu.com", "domain:163.com", "domain:bilibili.com", "domain:douyin.com", "domain:aliyun.com",
        "domain:360.cn"]},
    {"type": "field", "outboundTag": "direct", "ip": ["1.0.1.0/24", "1.0.2.0/23", "1.0.8.0/21", "1.0.32.0/19",
        "1.1.0.0/24", "1.1.2.0/23", "1.1.4.0/22", "1.1.8.0/21", "223.5.5.5/32", "223.6.6.6/32",
        "114.114.114.114/32"]},
    {"type": "field", "network": "tcp,udp", "outboundTag": "proxy"}
])";

QStringList commandLine(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList parts = QString::fromLocal8Bit(file.readAll()).split(QChar(0));
    parts.removeAll(QString());
    return parts;
}

QList<qint64> childrenOf(qint64 pid)
{
    QList<qint64> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        // pid (name) state ppid ...: the name may hold blanks, so read after its closing bracket.
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1].toLongLong() == pid)
            children.append(entry.toLongLong());
    }
    return children;
}

#define VERIFY_CORE_PORTS_FREE()                                                                      \
    QVERIFY2(LocalPort::isFree(kMixedPort) && LocalPort::isFree(kDnsPort),                            \
             "ports 10315 and 16450 of 127.0.0.1 are taken by another program")

// A core ended with the test function, however the function leaves.
class CoreProcess : public QProcess
{
public:
    ~CoreProcess() override
    {
        kill();
        waitForFinished(5000);
    }
};

// Waits for `text` on the process's standard output, where v2ray writes its access log.
bool waitForOutput(QProcess &process, QByteArray *seen, const QByteArray &text)
{
    return QTest::qWaitFor([&] {
        *seen += process.readAllStandardOutput();
        return seen->contains(text);
    }, 5000);
}

} // namespace

class ProxyCoreStandinTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void translatesInboundsDnsAndLog();
    void translatesRouting_data();
    void translatesRouting();
    void translatesVmessStream_data();
    void translatesVmessStream();
    void v2rayAcceptsTranslation_data();
    void v2rayAcceptsTranslation();
    void refusesMalformedDocument_data();
    void refusesMalformedDocument();

    void answersVersion();
    void tunnelsNameThroughVmess_data();
    void tunnelsNameThroughVmess();
    void sendsLoopbackDirect();
    void becomesV2RayAndLeavesNothingBehind();
    void failsClearly_data();
    void failsClearly();

private:
    static QString corePath() { return TestEnvironment::helperPath(QStringLiteral("resources/vpn/x32/xray.exe")); }
    QString writeDocument(const QByteArray &text);
    QProcessEnvironment coreEnvironment() const;
    bool startCore(QProcess &core, const QJsonObject &document, const QProcessEnvironment &environment);
    bool tmpIsEmpty() const { return QDir(m_tmp.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); }

    QTemporaryDir m_work;
    QTemporaryDir m_tmp; // the core's temporary folder: what it leaves there shows
    std::unique_ptr<TestCertificate> m_certificate;
};

void ProxyCoreStandinTest::initTestCase()
{
    TestEnvironment::isolate();
    QVERIFY(m_work.isValid() && m_tmp.isValid());
    QVERIFY2(QFileInfo(corePath()).isExecutable(), qPrintable(corePath()));
    QVERIFY2(QFileInfo(QStringLiteral("/usr/bin/v2ray")).isExecutable(), "install the v2ray package");
    m_certificate = std::make_unique<TestCertificate>();
    QVERIFY2(m_certificate->isValid(), qPrintable(m_certificate->errorString()));
}

QString ProxyCoreStandinTest::writeDocument(const QByteArray &text)
{
    QFile file(m_work.filePath(QStringLiteral("norvane_config.json")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size())
        qFatal("cannot write the document");
    return file.fileName();
}

QProcessEnvironment ProxyCoreStandinTest::coreEnvironment() const
{
    QProcessEnvironment environment = TestEnvironment::childEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), m_tmp.path());
    environment.remove(QStringLiteral("NORVANE_V2RAY"));
    return environment;
}

bool ProxyCoreStandinTest::startCore(QProcess &core, const QJsonObject &document,
                                     const QProcessEnvironment &environment)
{
    core.setProcessEnvironment(environment);
    Norvane::Platform::startTiedChild(core, corePath(),
                                      {"run", "-c", writeDocument(documentText(document)), "--disable-color"});
    if (core.waitForStarted(5000) && LocalPort::waitUntilServed(kMixedPort, 5000))
        return true;
    qWarning().noquote() << "the core does not serve:" << core.readAllStandardError() << core.readAllStandardOutput();
    return false;
}

void ProxyCoreStandinTest::translatesInboundsDnsAndLog()
{
    const V2RayTranslation translation = V2RayConfigTranslator::translate(documentText(clientDocument({})));
    QVERIFY2(translation.error.isEmpty(), qPrintable(translation.error));
    const QJsonObject config = translation.config;

    QCOMPARE(config.keys(), QStringList({"dns", "inbounds", "log", "outbounds", "routing"}));
    QCOMPARE(compact(config.value("inbounds")), compact(json(kInbounds)));
    QCOMPARE(compact(config.value("dns")), compact(json(kDns)));
    QCOMPARE(compact(config.value("log")), compact(json(kLog)));
    QJsonArray outbounds = config.value("outbounds").toArray();
    outbounds.removeFirst(); // the vmess outbound: see translatesVmessStream
    QCOMPARE(compact(outbounds), compact(json(kOtherOutbounds)));
    QCOMPARE(translation.notes,
             QStringList{"dropped DNS server \"dns-block\" (rcode://success): v2ray has no equivalent"});
}

void ProxyCoreStandinTest::translatesRouting_data()
{
    QTest::addColumn<bool>("globalRouting");
    QTest::addColumn<QString>("rules");

    QTest::newRow("global") << true << QString(kGlobalRules);
    QTest::newRow("smart") << false << QString(kSmartRules);
}

void ProxyCoreStandinTest::translatesRouting()
{
    QFETCH(bool, globalRouting);
    QFETCH(QString, rules);
    LinkServer server;
    server.globalRouting = globalRouting;

    const QJsonObject routing = translated(server).value("routing").toObject();
    QCOMPARE(routing.value("domainStrategy").toString(), QStringLiteral("AsIs"));
    QCOMPARE(compact(routing.value("rules")), compact(json(rules)));
}

void ProxyCoreStandinTest::translatesVmessStream_data()
{
    QTest::addColumn<QString>("network");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("tls");
    QTest::addColumn<QString>("sni");
    QTest::addColumn<QString>("streamSettings");

    QTest::newRow("tcp") << "tcp" << "" << "" << "none" << ""
                         << R"({"network": "tcp", "security": "none"})";
    QTest::newRow("ws with host over TLS with sni")
        << "ws" << "/ws" << "cdn.example.com" << "tls" << "sni.example.com"
        << R"({"network": "ws", "security": "tls",
               "tlsSettings": {"serverName": "sni.example.com", "allowInsecure": false},
               "wsSettings": {"path": "/ws", "headers": {"Host": "cdn.example.com"}}})";
    QTest::newRow("ws without path or host") << "ws" << "" << "" << "none" << ""
                                             << R"({"network": "ws", "security": "none", "wsSettings": {"path": "/"}})";
    QTest::newRow("TLS over tcp without sni")
        << "tcp" << "" << "" << "tls" << ""
        << R"({"network": "tcp", "security": "tls",
               "tlsSettings": {"serverName": "vpn.example.com", "allowInsecure": false}})";
}

void ProxyCoreStandinTest::translatesVmessStream()
{
    QFETCH(QString, network);
    QFETCH(QString, path);
    QFETCH(QString, host);
    QFETCH(QString, tls);
    QFETCH(QString, sni);
    QFETCH(QString, streamSettings);
    LinkServer server;
    server.network = network;
    server.path = path;
    server.host = host;
    server.tls = tls;
    server.sni = sni;
    server.security = QStringLiteral("chacha20-poly1305");
    server.alterId = 4;

    const QJsonValue expected = json(QString::fromLatin1(kVmessOutbound).arg(VmessTestServer::userId(), streamSettings));
    QCOMPARE(compact(translated(server).value("outbounds").toArray().first()), compact(expected));
}

void ProxyCoreStandinTest::v2rayAcceptsTranslation_data()
{
    QTest::addColumn<bool>("globalRouting");
    QTest::addColumn<QString>("network");
    QTest::addColumn<QString>("tls");

    QTest::newRow("global, tcp") << true << "tcp" << "none";
    QTest::newRow("smart, ws over TLS") << false << "ws" << "tls";
}

// v2ray reads the translation as it is meant: it rejects wrong types and unknown protocols,
// though it says nothing of members it does not know (the comparisons above cover those).
void ProxyCoreStandinTest::v2rayAcceptsTranslation()
{
    QFETCH(bool, globalRouting);
    QFETCH(QString, network);
    QFETCH(QString, tls);
    LinkServer server;
    server.globalRouting = globalRouting;
    server.network = network;
    server.tls = tls;
    server.host = QStringLiteral("cdn.example.com");

    QFile file(m_work.filePath(QStringLiteral("v2ray.json")));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QJsonDocument(translated(server)).toJson());
    file.close();
    QProcess v2ray;
    Norvane::Platform::startTiedChild(v2ray, QStringLiteral("/usr/bin/v2ray"), {"-test", "-config", file.fileName()});
    QVERIFY(v2ray.waitForFinished(10000));
    const QByteArray output = v2ray.readAllStandardOutput() + v2ray.readAllStandardError();
    QVERIFY2(v2ray.exitCode() == 0 && output.contains("Configuration OK."), output.constData());
}

void ProxyCoreStandinTest::refusesMalformedDocument_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("error");

    const auto row = [](const char *name, const QStringList &path, const QJsonValue &value, const char *error) {
        QTest::newRow(name) << editedDocument(path, value) << QString::fromUtf8(error);
    };
    QTest::newRow("not JSON") << QByteArray("{\"inbounds\": [") << "the document is not valid JSON: unterminated array at offset 14";
    QTest::newRow("not an object") << QByteArray("[]") << "the document is not a JSON object";
    row("unknown top-level member", {"routing"}, QJsonObject{}, R"(the document: unknown member "routing")");
    row("no inbounds", {"inbounds"}, QJsonValue::Undefined, "the document has no inbounds");
    row("no outbounds", {"outbounds"}, QJsonArray{}, "the document has no outbounds");
    row("log level unknown", {"log", "level"}, "loud",
        R"(log: level "loud" is not one of debug, error, fatal, info, panic, trace, warn, warning)");
    row("inbound type unknown", {"inbounds", "0", "type"}, "tun", R"(inbounds[0]: inbound type "tun" cannot be mapped to v2ray)");
    row("inbound port as text", {"inbounds", "0", "listen_port"}, "10315",
        R"(inbounds[0]: "listen_port" must be an integer from 1 to 65535)");
    row("inbound port out of range", {"inbounds", "1", "listen_port"}, 70000,
        R"(inbounds[1]: "listen_port" must be an integer from 1 to 65535)");
    row("inbound listen not an address", {"inbounds", "0", "listen"}, "localhost",
        R"(inbounds[0]: "listen" is not an IP address: localhost)");
    row("inbound sets the system proxy", {"inbounds", "0", "set_system_proxy"}, true,
        R"(inbounds[0]: "set_system_proxy" cannot be done by the core; the client sets the system proxy)");
    row("inbound element not an object", {"inbounds", "1"}, "dns-in", "inbounds[1]: must be an object");
    row("outbound type unknown", {"outbounds", "2", "type"}, "shadowsocks",
        R"(outbounds[2]: outbound type "shadowsocks" cannot be mapped to v2ray)");
    row("outbound tag twice", {"outbounds", "3", "tag"}, "direct", R"(outbounds[3]: the tag "direct" is used twice)");
    row("vmess member unknown", {"outbounds", "0", "flow"}, "xtls", R"(outbounds[0]: unknown member "flow")");
    row("vmess uuid not a UUID", {"outbounds", "0", "uuid"}, "not-a-uuid", R"(outbounds[0]: "uuid" is not a UUID: not-a-uuid)");
    row("vmess without server", {"outbounds", "0", "server"}, "", R"(outbounds[0]: "server" must not be empty)");
    row("vmess port missing", {"outbounds", "0", "server_port"}, QJsonValue::Undefined, R"(outbounds[0]: "server_port" is missing)");
    row("vmess security unknown", {"outbounds", "0", "security"}, "rc4",
        R"(outbounds[0]: vmess security "rc4" is not one of auto, none, zero, aes-128-gcm, chacha20-poly1305)");
    row("vmess transport not ws", {"outbounds", "0", "transport"}, QJsonObject{{"type", "grpc"}},
        R"(outbounds[0].transport: transport type "grpc" cannot be mapped to v2ray)");
    row("vmess tls not an object", {"outbounds", "0", "tls"}, true, R"(outbounds[0]: "tls" must be an object)");
    row("route rule member unknown", {"route", "rules", "2", "domain_keyword"}, QJsonArray{"example"},
        R"(route.rules[2]: unknown member "domain_keyword")");
    row("route rule without condition", {"route", "rules", "2", "ip_cidr"}, QJsonValue::Undefined,
        "route.rules[2]: the rule has no condition");
    row("route rule to unknown outbound", {"route", "rules", "0", "outbound"}, "nowhere",
        R"(route.rules[0]: outbound "nowhere" is not an outbound tag)");
    row("route rule from unknown inbound", {"route", "rules", "0", "inbound"}, "nowhere-in",
        R"(route.rules[0]: inbound "nowhere-in" is not an inbound tag)");
    row("route rule range malformed", {"route", "rules", "2", "ip_cidr", "0"}, "10.0.0.0/33",
        R"(route.rules[2]: "10.0.0.0/33" is not an IP address or range)");
    row("route rule port as text", {"route", "rules", "1", "port"}, "53",
        R"(route.rules[1]: "port" must be a port or a list of ports from 1 to 65535)");
    row("route final unknown", {"route", "final"}, "nowhere", R"(route: final "nowhere" is not an outbound tag)");
    row("dns final unknown", {"dns", "final"}, "dns-nowhere", R"(dns: final "dns-nowhere" is not a DNS server tag)");
    row("dns final without equivalent", {"dns", "final"}, "dns-block",
        "dns: server \"dns-block\" (rcode://success) answers queries, and v2ray has no equivalent");
    row("dns rule to unknown server", {"dns", "rules", "0", "server"}, "dns-nowhere",
        R"(dns.rules[0]: server "dns-nowhere" is not a DNS server tag)");
    row("dns server address without equivalent", {"dns", "servers", "0", "address"}, "tls://1.1.1.1",
        "dns.servers[0]: DNS server address \"tls://1.1.1.1\" has no equivalent in v2ray 4.34");
    row("dns server detour unknown", {"dns", "servers", "1", "detour"}, "nowhere",
        R"(dns.servers[1]: detour "nowhere" is not an outbound tag)");
    row("dns resolver unknown", {"dns", "servers", "0", "address_resolver"}, "dns-nowhere",
        R"(dns: address_resolver "dns-nowhere" is not a DNS server tag)");
}

void ProxyCoreStandinTest::refusesMalformedDocument()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, error);

    const V2RayTranslation translation = V2RayConfigTranslator::translate(document);
    QCOMPARE(translation.error, error);
    QVERIFY(translation.config.isEmpty());
}

void ProxyCoreStandinTest::answersVersion()
{
    QProcess core;
    Norvane::Platform::startTiedChild(core, corePath(), {"version"});
    QVERIFY(core.waitForFinished(5000));
    QCOMPARE(core.exitStatus(), QProcess::NormalExit);
    QCOMPARE(core.exitCode(), 0);
    QVERIFY(core.readAllStandardOutput().startsWith("Norvane proxy core 1.0.0"));
}

void ProxyCoreStandinTest::tunnelsNameThroughVmess_data()
{
    QTest::addColumn<QString>("network");
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("tls");
    QTest::addColumn<bool>("trusted");

    QTest::newRow("tcp") << "tcp" << "" << false << true;
    QTest::newRow("ws with host") << "ws" << "tunnel.example" << false << true;
    QTest::newRow("ws over TLS") << "ws" << "" << true << true;
    QTest::newRow("ws over TLS, certificate not trusted") << "ws" << "" << true << false;
}

// The name resolves only in the vmess server's DNS: an answer proves the tunnel carried it.
void ProxyCoreStandinTest::tunnelsNameThroughVmess()
{
    VERIFY_CORE_PORTS_FREE();
    QFETCH(QString, network);
    QFETCH(QString, host);
    QFETCH(bool, tls);
    QFETCH(bool, trusted);

    VmessTestServer vmessServer;
    QVERIFY2(vmessServer.start(network, QStringLiteral("/tunnel"), tls ? m_certificate.get() : nullptr, kTunnelOnlyName),
             qPrintable(vmessServer.errorString()));
    FixedReplyHttpServer http(kBody);
    QVERIFY(http.listen());
    LinkServer server;
    server.address = QStringLiteral("127.0.0.1");
    server.port = vmessServer.port();
    server.network = network;
    server.path = QStringLiteral("/tunnel");
    server.host = host;
    server.tls = tls ? QStringLiteral("tls") : QStringLiteral("none");
    QProcessEnvironment environment = coreEnvironment();
    if (trusted)
        environment.insert(QStringLiteral("SSL_CERT_FILE"), m_certificate->certificatePath());
    else
        environment.insert(QStringLiteral("SSL_CERT_FILE"), QStringLiteral("/nonexistent/ca.pem"));
    CoreProcess core;
    QVERIFY(startCore(core, clientDocument(server), environment));

    const Socks5HttpClient::Result result = Socks5HttpClient::get(kMixedPort, kTunnelOnlyName, http.port());
    const QByteArray destination = "tcp:" + kTunnelOnlyName.toUtf8() + ':' + QByteArray::number(http.port());
    QByteArray coreOutput;
    QVERIFY2(waitForOutput(core, &coreOutput, "accepted " + destination + " [proxy]"), coreOutput.constData());
    if (!trusted) {
        QVERIFY(!result.error.isEmpty());
        QCOMPARE(http.requestCount(), 0);
        return;
    }
    QVERIFY2(result.error.isEmpty(), qPrintable(result.error + QStringLiteral("\nserver: ") + vmessServer.output()
                                                + QStringLiteral("\ncore: ") + QString::fromUtf8(coreOutput)));
    QCOMPARE(result.body, kBody);
    QVERIFY2(vmessServer.output().contains(QString::fromUtf8("accepted " + destination)), qPrintable(vmessServer.output()));
}

void ProxyCoreStandinTest::sendsLoopbackDirect()
{
    VERIFY_CORE_PORTS_FREE();
    FixedReplyHttpServer http(kBody);
    QVERIFY(http.listen());
    LinkServer server;
    server.address = QStringLiteral("127.0.0.1");
    server.port = LocalPort::pickFree(); // no vmess server: only what goes direct can arrive
    CoreProcess core;
    QVERIFY(startCore(core, clientDocument(server), coreEnvironment()));

    const Socks5HttpClient::Result direct = Socks5HttpClient::get(kMixedPort, QStringLiteral("127.0.0.1"), http.port());
    QVERIFY2(direct.error.isEmpty(), qPrintable(direct.error));
    QCOMPARE(direct.body, kBody);
    QByteArray coreOutput;
    QVERIFY2(waitForOutput(core, &coreOutput, "accepted tcp:127.0.0.1:" + QByteArray::number(http.port()) + " [direct]"),
             coreOutput.constData());

    const Socks5HttpClient::Result proxied = Socks5HttpClient::get(kMixedPort, kTunnelOnlyName, http.port());
    QVERIFY(!proxied.error.isEmpty());
    QCOMPARE(http.requestCount(), 1);
}

void ProxyCoreStandinTest::becomesV2RayAndLeavesNothingBehind()
{
    // v2ray's file capability makes the process undumpable: its /proc entries belong to root.
    if (::geteuid() != 0)
        QSKIP("only root may look into the process v2ray runs in");
    VERIFY_CORE_PORTS_FREE();
    LinkServer server;
    server.address = QStringLiteral("127.0.0.1");
    server.port = LocalPort::pickFree();
    CoreProcess core;
    QVERIFY(startCore(core, clientDocument(server), coreEnvironment()));
    QVERIFY(LocalPort::waitUntilServed(kDnsPort, 5000));
    const qint64 pid = core.processId();

    QCOMPARE(QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).canonicalFilePath(),
             QFileInfo(QStringLiteral("/usr/bin/v2ray")).canonicalFilePath());
    const QStringList arguments = commandLine(pid);
    QCOMPARE(arguments.size(), 3);
    QCOMPARE(arguments[0], corePath());
    QCOMPARE(arguments[1], QStringLiteral("-config"));
    QVERIFY(arguments[2].startsWith(QLatin1String("/proc/self/fd/")));

    // The translation exists only behind that descriptor: unlinked, readable by its user alone.
    const QString descriptor = QStringLiteral("/proc/%1/fd/%2").arg(pid).arg(arguments[2].section('/', -1));
    const QString target = QFileInfo(descriptor).symLinkTarget();
    QVERIFY2(target.startsWith(m_tmp.path() + QStringLiteral("/norvane-v2ray-")) && target.endsWith(QLatin1String(" (deleted)")),
             qPrintable(target));
    struct stat status {};
    QCOMPARE(::stat(descriptor.toLocal8Bit().constData(), &status), 0);
    QCOMPARE(status.st_mode & 07777, mode_t(0600));
    QVERIFY(tmpIsEmpty());
    // Its one child is its watcher, which holds nothing of the core's but process descriptors
    // of its starter and of the core: not the output pipes, not the configuration.
    const QList<qint64> children = childrenOf(pid);
    QCOMPARE(children.size(), 1);
    const qint64 watcher = children.first();
    QCOMPARE(commandLine(watcher).value(0), QStringLiteral("norvane-core-watch"));
    QStringList held;
    const QDir descriptors(QStringLiteral("/proc/%1/fd").arg(watcher));
    for (const QString &entry : descriptors.entryList(QDir::System | QDir::NoDotAndDotDot, QDir::Name))
        held << QStringLiteral("%1 %2").arg(entry, QFileInfo(descriptors.filePath(entry)).symLinkTarget());
    QCOMPARE(held.size(), 5);
    for (const QString &standard : {QStringLiteral("0 /dev/null"), QStringLiteral("1 /dev/null"),
                                    QStringLiteral("2 /dev/null")})
        QVERIFY2(held.contains(standard), qPrintable(held.join(QLatin1String(", "))));
    QCOMPARE(held.filter(QStringLiteral("anon_inode:[pidfd]")).size(), 2);

    core.kill();
    QVERIFY(core.waitForFinished(5000));
    QVERIFY(!QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)));
    QTRY_VERIFY(!isProcessAlive(watcher));
    QVERIFY(LocalPort::isFree(kMixedPort));
    QVERIFY(LocalPort::isFree(kDnsPort));
    QVERIFY(tmpIsEmpty());
}

void ProxyCoreStandinTest::failsClearly_data()
{
    QTest::addColumn<QStringList>("arguments"); // "DOCUMENT" stands for the written document's path
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("v2ray");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    const QByteArray good = documentText(clientDocument({}));
    const QStringList run{"run", "-c", "DOCUMENT", "--disable-color"};
    QTest::newRow("v2ray missing") << run << good << "/nonexistent/v2ray" << 1
                                   << "ERROR: v2ray not found or not executable at /nonexistent/v2ray";
    QTest::newRow("v2ray not executable") << run << good << "DOCUMENT" << 1 << "ERROR: v2ray not found or not executable at";
    QTest::newRow("document refused") << run << QByteArray("[]") << "" << 1 << ": the document is not a JSON object";
    QTest::newRow("document missing") << QStringList{"run", "-c", "/nonexistent/config.json"} << QByteArray() << "" << 1
                                      << "ERROR: cannot read the configuration /nonexistent/config.json";
    QTest::newRow("no arguments") << QStringList() << QByteArray() << "" << 2 << "ERROR: unexpected arguments";
    QTest::newRow("no configuration path") << QStringList{"run", "-c"} << QByteArray() << "" << 2
                                           << "ERROR: unexpected arguments: run -c";
    QTest::newRow("unknown option") << QStringList{"run", "-c", "DOCUMENT", "--color"} << good << "" << 2
                                    << "ERROR: unexpected arguments";
}

void ProxyCoreStandinTest::failsClearly()
{
    VERIFY_CORE_PORTS_FREE();
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, document);
    QFETCH(QString, v2ray);
    QFETCH(int, exitCode);
    QFETCH(QString, message);

    const QString documentPath = writeDocument(document);
    arguments.replaceInStrings(QStringLiteral("DOCUMENT"), documentPath);
    QProcessEnvironment environment = coreEnvironment();
    if (!v2ray.isEmpty())
        environment.insert(QStringLiteral("NORVANE_V2RAY"), v2ray == QLatin1String("DOCUMENT") ? documentPath : v2ray);
    QProcess core;
    core.setProcessEnvironment(environment);
    Norvane::Platform::startTiedChild(core, corePath(), arguments);
    QVERIFY(core.waitForFinished(5000));

    const QString error = QString::fromLocal8Bit(core.readAllStandardError());
    QCOMPARE(core.exitStatus(), QProcess::NormalExit);
    QCOMPARE(core.exitCode(), exitCode);
    QVERIFY2(error.contains(message), qPrintable(error));
    QVERIFY(tmpIsEmpty());
    QVERIFY(LocalPort::isFree(kMixedPort));
}

QTEST_GUILESS_MAIN(ProxyCoreStandinTest)
#include "tst_proxycorestandin.moc"
