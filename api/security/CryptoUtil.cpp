#include "api/security/CryptoUtil.h"

#include "api/security/MachineFacts.h"
#include "platform/security/PlatformSecurity.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QUuid>

#include <exception>

namespace Norvane::Api::Security {

namespace {

constexpr int kIvBytes = 16;
// Below this the machine facts are too thin to tell machines apart, so randomness is mixed in.
constexpr int kMinimumFactsLength = 32;

} // namespace

QString CryptoUtil::generateDeviceId()
{
    const QString deviceId = deviceIdFrom(MachineFacts::current());
    qDebug().noquote() << "[CryptoUtil] 生成设备ID:" << deviceId;
    return deviceId;
}

QString CryptoUtil::deviceIdFrom(const MachineFacts &facts)
{
    QString text = facts.hostName + facts.productType + facts.productVersion + facts.cpuArchitecture;
    if (facts.volumeSerial)
        text += QString::number(*facts.volumeSerial);
    if (text.size() < kMinimumFactsLength)
        text += QUuid::createUuid().toString(QUuid::WithoutBraces);
    return QStringLiteral("windows_") + md5Hex(text);
}

QString CryptoUtil::md5Hex(const QString &text)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex());
}

QString CryptoUtil::decryptVmessLink(const QString &encrypted, const QString &key)
{
    if (encrypted.isEmpty() || key.isEmpty()) {
        qWarning() << "[CryptoUtil] 解密参数无效";
        return {};
    }

    try {
        // The default decoder skips characters outside the alphabet, such as line breaks.
        const QByteArray data = QByteArray::fromBase64(encrypted.toLatin1());
        if (data.isEmpty()) {
            qWarning() << "[CryptoUtil] Base64解码失败";
            return {};
        }

        const QByteArray plain = aesDecrypt(data, key);
        if (plain.isEmpty()) {
            qWarning() << "[CryptoUtil] AES解密失败";
            return {};
        }

        qDebug() << "[CryptoUtil] VMess链接解密成功";
        return QString::fromUtf8(plain);
    } catch (const std::exception &error) {
        qWarning().noquote() << "[CryptoUtil] 解密异常:" << error.what();
        return {};
    }
}

QByteArray CryptoUtil::aesDecrypt(const QByteArray &data, const QString &key)
{
    if (data.size() <= kIvBytes) {
        qWarning() << "[CryptoUtil] 加密数据长度无效";
        return {};
    }

    const QByteArray iv = data.left(kIvBytes);
    const QByteArray ciphertext = data.mid(kIvBytes);
    const QByteArray keyBytes = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256);

    QByteArray plain;
    switch (Platform::aes256CbcDecrypt(keyBytes, iv, ciphertext, &plain)) {
    case Platform::AesDecryptStatus::Ok:
        return plain;
    case Platform::AesDecryptStatus::ContextFailed:
        qWarning() << "[CryptoUtil] CryptAcquireContext失败";
        break;
    case Platform::AesDecryptStatus::KeyImportFailed:
        qWarning() << "[CryptoUtil] CryptImportKey失败";
        break;
    case Platform::AesDecryptStatus::DecryptFailed:
        qWarning() << "[CryptoUtil] CryptDecrypt失败";
        break;
    }
    return {};
}

} // namespace Norvane::Api::Security
