#include "api/security/CryptoUtil.h"
#include "api/security/MachineFacts.h"
#include "platform/security/PlatformSecurity.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

using Norvane::Api::Security::CryptoUtil;
using Norvane::Api::Security::MachineFacts;
namespace Platform = Norvane::Platform;

namespace {

const QRegularExpression kDeviceIdPattern(QStringLiteral("^windows_[0-9a-f]{32}$"));

// Made once with the openssl command line: key text "norvane-link-key-密钥", IV 00..0f,
// plain text kFixtureLink (52 bytes, so 12 bytes of padding).
const QString kFixtureKey = QStringLiteral("norvane-link-key-密钥");
const QString kFixtureLink = QStringLiteral("vmess://eyJhZGQiOiIxMjcuMC4wLjEiLCJwb3J0IjoiNDQzIn0=");
const QByteArray kFixtureEncrypted =
    "AAECAwQFBgcICQoLDA0ODyxfjW4TEt/x/BrrluJm4ZFys4XLcRuUWp7rw8aqiO3qrVoPvxnmGk3lsf1R7AM0ILpe72XWCD8zBmFKf9ZUETM=";

MachineFacts facts(const QString &host, const QString &type, const QString &version,
                   const QString &arch, std::optional<quint32> serial = std::nullopt)
{
    return MachineFacts{host, type, version, arch, serial};
}

QString vmessLinkWithRemark(const QString &remark)
{
    const QJsonObject server{{"v", "2"},
                             {"ps", remark},
                             {"add", "hk1.example.net"},
                             {"port", "443"},
                             {"id", "3f1c9a52-8d0e-4b7a-9c61-2e5d8f0a7b34"},
                             {"aid", "0"},
                             {"net", "ws"},
                             {"path", "/ray"},
                             {"tls", "tls"}};
    return QStringLiteral("vmess://")
        + QString::fromLatin1(QJsonDocument(server).toJson(QJsonDocument::Compact).toBase64());
}

QString wrapLines(const QString &text, int width, const QString &lineBreak)
{
    QString wrapped;
    for (int i = 0; i < text.size(); i += width)
        wrapped += text.mid(i, width) + lineBreak;
    return wrapped;
}

// *data = a random IV followed by the ciphertext that the openssl command line makes of plain.
void opensslEncrypt(const QString &openssl, const QByteArray &plain, const QString &keyText, QByteArray *data)
{
    QByteArray iv(16, Qt::Uninitialized);
    for (char &byte : iv)
        byte = char(QRandomGenerator::global()->bounded(256));
    const QByteArray key = QCryptographicHash::hash(keyText.toUtf8(), QCryptographicHash::Sha256);

    QProcess process;
    process.start(openssl, {"enc", "-aes-256-cbc", "-K", QString::fromLatin1(key.toHex()),
                            "-iv", QString::fromLatin1(iv.toHex())});
    QVERIFY(process.waitForStarted());
    process.write(plain);
    process.closeWriteChannel();
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);
    *data = iv + process.readAllStandardOutput();
}

} // namespace

Q_DECLARE_METATYPE(MachineFacts)
Q_DECLARE_METATYPE(Platform::AesDecryptStatus)

class TestCryptoUtil : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void md5Hex_data();
    void md5Hex();

    void generateDeviceIdHasFormatAndLogsIt();
    void shortFactsGetRandomPart_data();
    void shortFactsGetRandomPart();
    void longFactsGiveFixedId_data();
    void longFactsGiveFixedId();

    void decryptsFixture();
    void roundTrip_data();
    void roundTrip();
    void failures_data();
    void failures();

    void platformFailureClearsOutput_data();
    void platformFailureClearsOutput();
};

void TestCryptoUtil::init()
{
    // Every warning a case provokes must be one it announced.
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
}

void TestCryptoUtil::md5Hex_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("digest");

    QTest::newRow("empty") << QString() << "d41d8cd98f00b204e9800998ecf8427e";
    QTest::newRow("a") << "a" << "0cc175b9c0f1b6a831c399e269772661";
    QTest::newRow("abc") << "abc" << "900150983cd24fb0d6963f7d28e17f72";
    QTest::newRow("message digest") << "message digest" << "f96b697d7cb7938d525a2f31aaf161d0";
    QTest::newRow("alphabet") << "abcdefghijklmnopqrstuvwxyz" << "c3fcd3d76192e4007dfb496cca67e13b";
    QTest::newRow("alphanumeric")
        << "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
        << "d174ab98d277d9f5a5611c2c9f419d9f";
    QTest::newRow("digits x8")
        << "12345678901234567890123456789012345678901234567890123456789012345678901234567890"
        << "57edf4a22be3c955ac49da2e2107b67a";
    // Digests of the UTF-8 bytes, from md5sum.
    QTest::newRow("chinese") << QStringLiteral("中文") << "a7bac2239fcdcb3a067903d8077c4a07";
    QTest::newRow("latin-1 range and emoji") << QStringLiteral("Grüße, 世界 🚀")
                                             << "1a8d673a503ec1d34d27d68d14a2ddfc";
}

void TestCryptoUtil::md5Hex()
{
    QFETCH(QString, text);
    QFETCH(QString, digest);
    QCOMPARE(CryptoUtil::md5Hex(text), digest);
}

void TestCryptoUtil::generateDeviceIdHasFormatAndLogsIt()
{
    QTest::ignoreMessage(QtDebugMsg,
                         QRegularExpression(QStringLiteral("^\\[CryptoUtil\\] 生成设备ID: windows_[0-9a-f]{32}$")));
    const QString id = CryptoUtil::generateDeviceId();
    QVERIFY2(kDeviceIdPattern.match(id).hasMatch(), qPrintable(id));
    QCOMPARE(id.size(), 40);
}

void TestCryptoUtil::shortFactsGetRandomPart_data()
{
    QTest::addColumn<MachineFacts>("machine");

    QTest::newRow("27 chars") << facts("build-host-01", "debian", "12", "x86_64");
    QTest::newRow("31 chars") << facts("abcdefghijklmnop", "windows", "10", "x86_64");
    // 31 UTF-16 units but 63 UTF-8 bytes: the length is counted in characters.
    QTest::newRow("31 units, non-ASCII")
        << facts(QStringLiteral("研发部第三工作站十二号楼东区一室"), "windows", "10", "x86_64");
    QTest::newRow("all empty") << facts({}, {}, {}, {});
}

void TestCryptoUtil::shortFactsGetRandomPart()
{
    QFETCH(MachineFacts, machine);

    const QString first = CryptoUtil::deviceIdFrom(machine);
    const QString second = CryptoUtil::deviceIdFrom(machine);
    QVERIFY2(kDeviceIdPattern.match(first).hasMatch(), qPrintable(first));
    QVERIFY2(kDeviceIdPattern.match(second).hasMatch(), qPrintable(second));
    QVERIFY(first != second);
}

void TestCryptoUtil::longFactsGiveFixedId_data()
{
    QTest::addColumn<MachineFacts>("machine");
    QTest::addColumn<QString>("expected");

    // Expected digests from md5sum of the concatenations shown.
    // "abcdefghijklmnopqwindows10x86_64"
    QTest::newRow("exactly 32 chars")
        << facts("abcdefghijklmnopq", "windows", "10", "x86_64")
        << "windows_478c6ca1862599877c70c839fe649e45";
    // "build-host-01debian12x86_644294967295": the serial, unsigned, lifts it past 32.
    QTest::newRow("largest serial")
        << facts("build-host-01", "debian", "12", "x86_64", 4294967295u)
        << "windows_fa9bb258f7e7b2dac758eec8bb80c7a5";
    // "DESKTOP-7Q2M9KL0windows10x86_647": a small serial is not padded.
    QTest::newRow("small serial")
        << facts("DESKTOP-7Q2M9KL0", "windows", "10", "x86_64", 7u)
        << "windows_ad89f46c77db37dda107597e0c940201";
}

void TestCryptoUtil::longFactsGiveFixedId()
{
    QFETCH(MachineFacts, machine);
    QFETCH(QString, expected);

    QCOMPARE(CryptoUtil::deviceIdFrom(machine), expected);
    QCOMPARE(CryptoUtil::deviceIdFrom(machine), expected);
}

void TestCryptoUtil::decryptsFixture()
{
    QTest::ignoreMessage(QtDebugMsg, "[CryptoUtil] VMess链接解密成功");
    QCOMPARE(CryptoUtil::decryptVmessLink(QString::fromLatin1(kFixtureEncrypted), kFixtureKey), kFixtureLink);
}

void TestCryptoUtil::roundTrip_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("keyText");
    QTest::addColumn<QString>("lineBreak");

    QTest::newRow("plain") << vmessLinkWithRemark("HK 01") << "s3cr3t" << QString();
    QTest::newRow("remark in JSON") << vmessLinkWithRemark(QStringLiteral("香港 01 🚀")) << "s3cr3t" << QString();
    QTest::newRow("non-ASCII link text")
        << vmessLinkWithRemark("JP") + QStringLiteral("#日本节点") << QStringLiteral("密钥") << QString();
    QTest::newRow("wrapped LF") << vmessLinkWithRemark("US") << "s3cr3t" << "\n";
    QTest::newRow("wrapped CRLF") << vmessLinkWithRemark(QStringLiteral("美国")) << "s3cr3t" << "\r\n";
    // 32 bytes of plain text: the padding is one whole block.
    QTest::newRow("block-aligned") << "vmess://eyJhZGQiOiIxLjIuMy40In0=" << QString(200, 'k') << QString();
}

void TestCryptoUtil::roundTrip()
{
    QFETCH(QString, link);
    QFETCH(QString, keyText);
    QFETCH(QString, lineBreak);

    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (openssl.isEmpty())
        QSKIP("the openssl command line is not installed");
    QByteArray data;
    opensslEncrypt(openssl, link.toUtf8(), keyText, &data);
    if (QTest::currentTestFailed())
        return;
    QString encrypted = QString::fromLatin1(data.toBase64());
    if (!lineBreak.isEmpty())
        encrypted = wrapLines(encrypted, 76, lineBreak);

    QTest::ignoreMessage(QtDebugMsg, "[CryptoUtil] VMess链接解密成功");
    QCOMPARE(CryptoUtil::decryptVmessLink(encrypted, keyText), link);
}

void TestCryptoUtil::failures_data()
{
    QTest::addColumn<QString>("encrypted");
    QTest::addColumn<QString>("keyText");
    QTest::addColumn<QStringList>("warnings");

    const QByteArray fixture = QByteArray::fromBase64(kFixtureEncrypted);
    const auto base64 = [](const QByteArray &bytes) { return QString::fromLatin1(bytes.toBase64()); };
    const QString invalidParameters = QStringLiteral("[CryptoUtil] 解密参数无效");
    const QString aesFailed = QStringLiteral("[CryptoUtil] AES解密失败");
    const QString decryptFailed = QStringLiteral("[CryptoUtil] CryptDecrypt失败");

    QTest::newRow("empty key") << QString::fromLatin1(kFixtureEncrypted) << QString()
                               << QStringList{invalidParameters};
    QTest::newRow("empty link") << QString() << kFixtureKey << QStringList{invalidParameters};
    QTest::newRow("nothing decodable") << "@@@@\r\n" << kFixtureKey
                                       << QStringList{QStringLiteral("[CryptoUtil] Base64解码失败")};
    QTest::newRow("IV only") << base64(fixture.left(16)) << kFixtureKey
                             << QStringList{QStringLiteral("[CryptoUtil] 加密数据长度无效"), aesFailed};
    QTest::newRow("IV and one byte") << base64(fixture.left(17)) << kFixtureKey
                                     << QStringList{decryptFailed, aesFailed};
    QTest::newRow("wrong key") << base64(fixture) << "wrong-key" << QStringList{decryptFailed, aesFailed};
    QTest::newRow("key differs in case") << base64(fixture) << kFixtureKey.toUpper()
                                         << QStringList{decryptFailed, aesFailed};
    QTest::newRow("cut inside a block") << base64(fixture.chopped(5)) << kFixtureKey
                                        << QStringList{decryptFailed, aesFailed};
    QTest::newRow("last block dropped") << base64(fixture.chopped(16)) << kFixtureKey
                                        << QStringList{decryptFailed, aesFailed};
}

void TestCryptoUtil::failures()
{
    QFETCH(QString, encrypted);
    QFETCH(QString, keyText);
    QFETCH(QStringList, warnings);

    for (const QString &warning : warnings)
        QTest::ignoreMessage(QtWarningMsg, warning.toUtf8().constData());
    QCOMPARE(CryptoUtil::decryptVmessLink(encrypted, keyText), QString());
}

void TestCryptoUtil::platformFailureClearsOutput_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("iv");
    QTest::addColumn<QByteArray>("ciphertext");
    QTest::addColumn<Platform::AesDecryptStatus>("status");

    const QByteArray fixture = QByteArray::fromBase64(kFixtureEncrypted);
    const QByteArray key = QCryptographicHash::hash(kFixtureKey.toUtf8(), QCryptographicHash::Sha256);

    QTest::newRow("short key") << key.left(16) << fixture.left(16) << fixture.mid(16)
                               << Platform::AesDecryptStatus::KeyImportFailed;
    QTest::newRow("long key") << key + "x" << fixture.left(16) << fixture.mid(16)
                              << Platform::AesDecryptStatus::KeyImportFailed;
    QTest::newRow("short IV") << key << fixture.left(15) << fixture.mid(16)
                              << Platform::AesDecryptStatus::KeyImportFailed;
    QTest::newRow("no ciphertext") << key << fixture.left(16) << QByteArray()
                                   << Platform::AesDecryptStatus::DecryptFailed;
}

void TestCryptoUtil::platformFailureClearsOutput()
{
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, iv);
    QFETCH(QByteArray, ciphertext);
    QFETCH(Platform::AesDecryptStatus, status);

    QByteArray plain("left over from an earlier call");
    QCOMPARE(Platform::aes256CbcDecrypt(key, iv, ciphertext, &plain), status);
    QVERIFY(plain.isEmpty());
}

QTEST_GUILESS_MAIN(TestCryptoUtil)
#include "tst_cryptoutil.moc"
