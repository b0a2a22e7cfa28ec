#include "api/vpn/V2RayCore.h"
#include "golden/CoreConfigDocuments.h"
#include "support/LogCapture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using Norvane::Api::Vpn::V2RayCore;
using Norvane::Api::Vpn::VmessConfig;

Q_DECLARE_METATYPE(VmessConfig)

namespace {

VmessConfig server()
{
    VmessConfig config;
    config.address = QStringLiteral("hk1.example.com");
    config.port = 443;
    config.uuid = QStringLiteral("b831381d-6324-4d53-ad4f-8cda48b30811");
    return config;
}

QJsonObject parsed(const QString &document)
{
    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(document.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !json.isObject())
        qWarning() << "not a JSON object:" << error.errorString();
    return json.object();
}

QJsonObject proxyOutbound(const QJsonObject &document)
{
    return document.value(QStringLiteral("outbounds")).toArray().first().toObject();
}

QJsonArray routeRules(const VmessConfig &config)
{
    return parsed(V2RayCore::generateConfig(config)).value("route").toObject().value("rules").toArray();
}

} // namespace

class TestV2RayCoreConfig : public QObject
{
    Q_OBJECT

private slots:
    void matchesGoldenDocument_data();
    void matchesGoldenDocument();
    void writesTransportAndTls_data();
    void writesTransportAndTls();
    void routingVariants_data();
    void routingVariants();
    void keepsOddCharactersIntact();
    void dnsRuleNamesTheServerAddress();
};

void TestV2RayCoreConfig::matchesGoldenDocument_data()
{
    QTest::addColumn<VmessConfig>("config");
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("logLine");

    QTest::newRow("global tcp") << server() << QString::fromUtf8(kGlobalTcpDocument)
                                << QStringLiteral("[V2RayCore] 使用全局模式 - 全部走代理");

    VmessConfig smart = server();
    smart.port = 8443;
    smart.alterId = 64;
    smart.security = QStringLiteral("aes-128-gcm");
    smart.network = QStringLiteral("ws");
    smart.headerType = QStringLiteral("http");
    smart.path = QStringLiteral("/ray");
    smart.host = QStringLiteral("cdn.example.com");
    smart.tls = QStringLiteral("tls");
    smart.sni = QStringLiteral("sni.example.com");
    smart.remark = QStringLiteral("香港 01");
    smart.globalRouting = 0;
    QTest::newRow("smart ws tls") << smart << QString::fromUtf8(kSmartWsTlsDocument)
                                  << QStringLiteral("[V2RayCore] 使用智能模式 - 国内直连");
}

void TestV2RayCoreConfig::matchesGoldenDocument()
{
    QFETCH(VmessConfig, config);
    QFETCH(QString, document);
    QFETCH(QString, logLine);

    LogCapture log;
    const QString generated = V2RayCore::generateConfig(config);
    QCOMPARE(generated, document);
    QCOMPARE(log.messages(), QStringList{logLine});
    QCOMPARE(V2RayCore::generateConfig(config), generated);
}

void TestV2RayCoreConfig::writesTransportAndTls_data()
{
    QTest::addColumn<QString>("network");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("tls");
    QTest::addColumn<QString>("sni");
    QTest::addColumn<QJsonObject>("transport");
    QTest::addColumn<QJsonObject>("tlsObject");

    const QJsonObject none;
    const QJsonObject tlsForAddress{{"enabled", true}, {"insecure", false}, {"server_name", "hk1.example.com"}};

    QTest::newRow("ws without path or host") << "ws" << "" << "" << "none" << ""
                                             << QJsonObject{{"path", "/"}, {"type", "ws"}} << none;
    QTest::newRow("ws with host") << "ws" << "/a b" << "cdn.example.com" << "none" << ""
                                  << QJsonObject{{"headers", QJsonObject{{"Host", "cdn.example.com"}}},
                                                 {"path", "/a b"},
                                                 {"type", "ws"}}
                                  << none;
    QTest::newRow("upper-case WS") << "WS" << "/ray" << "cdn.example.com" << "none" << "" << none << none;
    QTest::newRow("tcp") << "tcp" << "/ray" << "cdn.example.com" << "none" << "" << none << none;
    QTest::newRow("tls without sni") << "tcp" << "" << "" << "tls" << "" << none << tlsForAddress;
    QTest::newRow("tls with sni") << "tcp" << "" << "" << "tls" << "sni.example.com" << none
                                  << QJsonObject{{"enabled", true},
                                                 {"insecure", false},
                                                 {"server_name", "sni.example.com"}};
    QTest::newRow("empty tls") << "tcp" << "" << "" << "" << "sni.example.com" << none << none;
    QTest::newRow("upper-case TLS") << "tcp" << "" << "" << "TLS" << "" << none << none;
}

void TestV2RayCoreConfig::writesTransportAndTls()
{
    QFETCH(QString, network);
    QFETCH(QString, path);
    QFETCH(QString, host);
    QFETCH(QString, tls);
    QFETCH(QString, sni);
    QFETCH(QJsonObject, transport);
    QFETCH(QJsonObject, tlsObject);

    VmessConfig config = server();
    config.network = network;
    config.path = path;
    config.host = host;
    config.tls = tls;
    config.sni = sni;
    const QJsonObject proxy = proxyOutbound(parsed(V2RayCore::generateConfig(config)));

    QCOMPARE(proxy.contains(QStringLiteral("transport")), !transport.isEmpty());
    QCOMPARE(proxy.value(QStringLiteral("transport")).toObject(), transport);
    QCOMPARE(proxy.contains(QStringLiteral("tls")), !tlsObject.isEmpty());
    QCOMPARE(proxy.value(QStringLiteral("tls")).toObject(), tlsObject);
}

void TestV2RayCoreConfig::routingVariants_data()
{
    QTest::addColumn<int>("globalRouting");
    QTest::addColumn<int>("ruleCount");

    QTest::newRow("global") << 1 << 3;
    QTest::newRow("any non-zero flag is global") << 2 << 3;
    QTest::newRow("smart") << 0 << 5;
}

void TestV2RayCoreConfig::routingVariants()
{
    QFETCH(int, globalRouting);
    QFETCH(int, ruleCount);

    VmessConfig config = server();
    config.globalRouting = globalRouting;
    const QJsonArray rules = routeRules(config);
    QCOMPARE(rules.size(), ruleCount);

    config.globalRouting = 1;
    const QJsonArray globalRules = routeRules(config);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(rules[i], globalRules[i]);
    if (ruleCount == 5) {
        QCOMPARE(rules[3].toObject().value("domain_suffix").toArray().size(), 14);
        QCOMPARE(rules[4].toObject().value("ip_cidr").toArray().size(), 11);
    }
}

void TestV2RayCoreConfig::keepsOddCharactersIntact()
{
    VmessConfig config = server();
    config.address = QStringLiteral("例子.测试");
    config.uuid = QStringLiteral("id with \"quotes\" and \\ back\\slashes");
    config.security = QStringLiteral("auto\t😀");
    config.network = QStringLiteral("ws");
    config.path = QStringLiteral("/ws?ed=2048&x=</script>\n");
    config.host = QStringLiteral("h\u00e9st") + QChar(0x01) + QStringLiteral("x");
    config.tls = QStringLiteral("tls");
    config.sni = QStringLiteral("{\"sni\": [1, 2]}");

    const QJsonObject document = parsed(V2RayCore::generateConfig(config));
    QVERIFY(!document.isEmpty());
    const QJsonObject proxy = proxyOutbound(document);
    QCOMPARE(proxy.value("server").toString(), config.address);
    QCOMPARE(proxy.value("uuid").toString(), config.uuid);
    QCOMPARE(proxy.value("security").toString(), config.security);
    const QJsonObject transport = proxy.value("transport").toObject();
    QCOMPARE(transport.value("path").toString(), config.path);
    QCOMPARE(transport.value("headers").toObject().value("Host").toString(), config.host);
    QCOMPARE(proxy.value("tls").toObject().value("server_name").toString(), config.sni);
    const QJsonObject dnsRule = document.value("dns").toObject().value("rules").toArray().first().toObject();
    QCOMPARE(dnsRule.value("domain").toString(), config.address);
}

void TestV2RayCoreConfig::dnsRuleNamesTheServerAddress()
{
    VmessConfig config = server();
    config.address = QStringLiteral("203.0.113.7");
    const QJsonObject document = parsed(V2RayCore::generateConfig(config));
    const QJsonObject dnsRule = document.value("dns").toObject().value("rules").toArray().first().toObject();
    const QJsonValue domain = dnsRule.value("domain");
    QVERIFY(domain.isString());
    QCOMPARE(domain.toString(), config.address);
    QCOMPARE(proxyOutbound(document).value("server").toString(), config.address);
}

QTEST_GUILESS_MAIN(TestV2RayCoreConfig)
#include "tst_v2raycoreconfig.moc"
