#include "api/vpn/VmessParser.h"
#include "support/LogCapture.h"

#include <QByteArray>
#include <QTest>

using Norvane::Api::Vpn::VmessConfig;
using Norvane::Api::Vpn::VmessParser;

Q_DECLARE_METATYPE(VmessConfig)

namespace {

const QByteArray kMinimal = R"({"add":"hk.example.com","port":"443","id":"b831381d-6324-4d53-ad4f-8cda48b30811"})";

QString link(const QByteArray &json, QByteArray::Base64Options options = QByteArray::Base64Encoding)
{
    return QStringLiteral("vmess://") + QString::fromLatin1(json.toBase64(options));
}

VmessConfig record(const QString &address, int port, const QString &uuid)
{
    VmessConfig config;
    config.address = address;
    config.port = port;
    config.uuid = uuid;
    return config;
}

// What the parser threw, or an empty text when it returned a record.
QString failureOf(const QString &link)
{
    try {
        VmessParser::parse(link);
    } catch (const QString &text) {
        return text;
    }
    return QString();
}

void compareRecords(const VmessConfig &actual, const VmessConfig &expected)
{
    QCOMPARE(actual.address, expected.address);
    QCOMPARE(actual.port, expected.port);
    QCOMPARE(actual.uuid, expected.uuid);
    QCOMPARE(actual.alterId, expected.alterId);
    QCOMPARE(actual.security, expected.security);
    QCOMPARE(actual.network, expected.network);
    QCOMPARE(actual.headerType, expected.headerType);
    QCOMPARE(actual.host, expected.host);
    QCOMPARE(actual.path, expected.path);
    QCOMPARE(actual.tls, expected.tls);
    QCOMPARE(actual.sni, expected.sni);
    QCOMPARE(actual.remark, expected.remark);
    QCOMPARE(actual.globalRouting, expected.globalRouting);
}

} // namespace

class TestVmessParser : public QObject
{
    Q_OBJECT

private slots:
    void rejectsMalformedLinks_data();
    void rejectsMalformedLinks();
    void readsFields_data();
    void readsFields();
    void decodesEveryLinkForm_data();
    void decodesEveryLinkForm();
    void logsTheParse();
};

void TestVmessParser::rejectsMalformedLinks_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("thrown");

    const QString badFormat = QStringLiteral("无效的VMess链接格式");
    const QString badBase64 = QStringLiteral("Base64解码失败");
    const QString badJson = QStringLiteral("无效的JSON格式");
    const QString missing = QStringLiteral("缺少必需字段（add/port/id）");
    const QString noAddress = QStringLiteral("服务器地址为空");
    const QString badPort = QStringLiteral("端口号无效");
    const QString noUuid = QStringLiteral("UUID为空");

    QTest::newRow("empty") << QString() << badFormat;
    QTest::newRow("prefix only") << QStringLiteral("vmess://") << badFormat;
    QTest::newRow("other scheme") << QStringLiteral("vless://") + QString::fromLatin1(kMinimal.toBase64()) << badFormat;
    QTest::newRow("no scheme") << QString::fromLatin1(kMinimal.toBase64()) << badFormat;
    QTest::newRow("punctuation only") << QStringLiteral("vmess://!!!***") << badBase64;
    QTest::newRow("one alphabet character") << QStringLiteral("vmess://A===") << badBase64;
    QTest::newRow("bytes that are not utf-8") << link("\xff\xfe\xfd") << badJson;
    QTest::newRow("json array") << link(R"([{"add":"a","port":"1","id":"u"}])") << badJson;
    QTest::newRow("json syntax error") << link(R"({"add":"a","port":"1",)") << badJson;
    QTest::newRow("json scalar") << link("42") << badJson;
    QTest::newRow("no id") << link(R"({"add":"a","port":"443"})") << missing;
    QTest::newRow("no add") << link(R"({"port":"443","id":"u"})") << missing;
    QTest::newRow("no port") << link(R"({"add":"a","id":"u"})") << missing;
    QTest::newRow("empty address") << link(R"({"add":"","port":"443","id":"u"})") << noAddress;
    QTest::newRow("address as number") << link(R"({"add":5,"port":"443","id":"u"})") << noAddress;
    QTest::newRow("address checked before port") << link(R"({"add":"","port":"0","id":""})") << noAddress;
    QTest::newRow("port 0") << link(R"({"add":"a","port":"0","id":"u"})") << badPort;
    QTest::newRow("port 70000") << link(R"({"add":"a","port":"70000","id":"u"})") << badPort;
    QTest::newRow("port not a number") << link(R"({"add":"a","port":"https","id":"u"})") << badPort;
    QTest::newRow("port beyond int") << link(R"({"add":"a","port":"99999999999","id":"u"})") << badPort;
    QTest::newRow("port fractional number") << link(R"({"add":"a","port":443.5,"id":"u"})") << badPort;
    QTest::newRow("port negative number") << link(R"({"add":"a","port":-443,"id":"u"})") << badPort;
    QTest::newRow("port huge number") << link(R"({"add":"a","port":1e12,"id":"u"})") << badPort;
    QTest::newRow("port boolean") << link(R"({"add":"a","port":true,"id":"u"})") << badPort;
    QTest::newRow("port checked before uuid") << link(R"({"add":"a","port":"65536","id":""})") << badPort;
    QTest::newRow("empty id") << link(R"({"add":"a","port":"443","id":""})") << noUuid;
    QTest::newRow("id as number") << link(R"({"add":"a","port":"443","id":7})") << noUuid;
}

void TestVmessParser::rejectsMalformedLinks()
{
    QFETCH(QString, link);
    QFETCH(QString, thrown);
    QCOMPARE(failureOf(link), thrown);
}

void TestVmessParser::readsFields_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<VmessConfig>("expected");

    VmessConfig full = record(QStringLiteral("hk.example.com"), 8443, QStringLiteral("b831381d"));
    full.alterId = 64;
    full.security = QStringLiteral("aes-128-gcm");
    full.network = QStringLiteral("ws");
    full.headerType = QStringLiteral("http");
    full.host = QStringLiteral("cdn.example.com");
    full.path = QStringLiteral("/ray?ed=2048");
    full.tls = QStringLiteral("tls");
    full.sni = QStringLiteral("sni.example.com");
    full.remark = QStringLiteral("香港 01");
    QTest::newRow("every field as text")
        << QByteArray(R"({"v":"2","ps":"香港 01","add":"hk.example.com","port":"8443","id":"b831381d",
            "aid":"64","scy":"aes-128-gcm","net":"ws","type":"http","host":"cdn.example.com",
            "path":"/ray?ed=2048","tls":"tls","sni":"sni.example.com"})")
        << full;

    QTest::newRow("only the required keys")
        << QByteArray(R"({"add":"a.example","port":"443","id":"u"})")
        << record(QStringLiteral("a.example"), 443, QStringLiteral("u"));

    VmessConfig emptied = record(QStringLiteral("a.example"), 443, QStringLiteral("u"));
    emptied.security.clear();
    emptied.network.clear();
    emptied.headerType.clear();
    emptied.tls.clear();
    QTest::newRow("present empty texts stay empty")
        << QByteArray(R"({"add":"a.example","port":"443","id":"u","scy":"","net":"","type":"","tls":"","host":""})")
        << emptied;

    VmessConfig numbers = record(QStringLiteral("a.example"), 443, QStringLiteral("u"));
    numbers.alterId = 64;
    QTest::newRow("port and aid as json numbers")
        << QByteArray(R"({"add":"a.example","port":443,"id":"u","aid":64})") << numbers;

    QTest::newRow("aid fractional number") << QByteArray(R"({"add":"a.example","port":"443","id":"u","aid":1.5})")
                                           << record(QStringLiteral("a.example"), 443, QStringLiteral("u"));
    QTest::newRow("aid not numeric") << QByteArray(R"({"add":"a.example","port":"443","id":"u","aid":"many"})")
                                     << record(QStringLiteral("a.example"), 443, QStringLiteral("u"));
    QTest::newRow("other json types keep defaults")
        << QByteArray(R"({"add":"a.example","port":"443","id":"u","scy":true,"net":[],"type":{},
            "host":5,"path":null,"tls":1,"sni":false,"ps":2})")
        << record(QStringLiteral("a.example"), 443, QStringLiteral("u"));
    QTest::newRow("port bounds") << QByteArray(R"({"add":"a.example","port":"65535","id":"u"})")
                                 << record(QStringLiteral("a.example"), 65535, QStringLiteral("u"));
}

void TestVmessParser::readsFields()
{
    QFETCH(QByteArray, json);
    QFETCH(VmessConfig, expected);

    compareRecords(VmessParser::parseJson(QString::fromUtf8(json)), expected);
    compareRecords(VmessParser::parse(link(json)), expected);
}

void TestVmessParser::decodesEveryLinkForm_data()
{
    QTest::addColumn<QString>("link");

    // "?" and ">" encode to "/" and "+" in the standard alphabet, "_" and "-" in the URL-safe one.
    const QByteArray json = R"({"add":"a.example","port":"443","id":"u","ps":"?>?>?>~~~~"})";
    const QString padded = QString::fromLatin1(json.toBase64());
    QVERIFY(padded.endsWith(QLatin1Char('=')));
    const QString urlSafe =
        QString::fromLatin1(json.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
    QVERIFY(urlSafe.contains(QLatin1Char('_')) && urlSafe.contains(QLatin1Char('-')));

    QString wrapped = padded;
    wrapped.insert(40, QStringLiteral("\r\n")).insert(20, QStringLiteral("\n "));

    QTest::newRow("padded") << QStringLiteral("vmess://") + padded;
    QTest::newRow("unpadded") << QStringLiteral("vmess://") + QString(padded).remove(QLatin1Char('='));
    QTest::newRow("line breaks and blanks") << QStringLiteral("vmess://") + wrapped;
    QTest::newRow("padding in the middle")
        << QStringLiteral("vmess://") + QString(padded).insert(12, QStringLiteral("=="));
    QTest::newRow("url-safe alphabet") << QStringLiteral("vmess://") + urlSafe;
    QTest::newRow("upper-case prefix") << QStringLiteral("VMESS://") + padded;
    QTest::newRow("mixed-case prefix") << QStringLiteral("VMess://") + padded;
}

void TestVmessParser::decodesEveryLinkForm()
{
    QFETCH(QString, link);

    VmessConfig expected = record(QStringLiteral("a.example"), 443, QStringLiteral("u"));
    expected.remark = QStringLiteral("?>?>?>~~~~");
    compareRecords(VmessParser::parse(link), expected);
}

void TestVmessParser::logsTheParse()
{
    const QByteArray json = R"({"add":"hk.example.com","port":"8443","id":"secret-user-id"})";
    LogCapture log;
    VmessParser::parse(link(json));

    const QStringList messages = log.messages();
    QCOMPARE(messages.size(), 3);
    QCOMPARE(messages[0], QStringLiteral("[VmessParser] 开始解析VMess链接"));
    QCOMPARE(messages[1], QStringLiteral("[VmessParser] JSON长度: %1").arg(json.size()));
    QVERIFY(messages[2].startsWith(QStringLiteral("[VmessParser] 解析成功 - 服务器:")));
    QVERIFY(messages[2].contains(QStringLiteral("hk.example.com")) && messages[2].contains(QStringLiteral("8443")));
    QVERIFY(!messages.join(QLatin1Char('\n')).contains(QStringLiteral("secret-user-id")));

    log.clear();
    failureOf(QStringLiteral("vmess://!!"));
    QCOMPARE(log.messages(), QStringList{QStringLiteral("[VmessParser] 开始解析VMess链接")});
}

QTEST_GUILESS_MAIN(TestVmessParser)
#include "tst_vmessparser.moc"
