#pragma once

#include <QByteArray>
#include <QString>

namespace Norvane::Api::Security {

struct MachineFacts;

// Device id, MD5 digest and the decryption of encrypted server links. No state.
class CryptoUtil
{
public:
    CryptoUtil() = delete;

    // "windows_" + 32 lower-case hex digits, made from this machine's facts.
    static QString generateDeviceId();
    static QString deviceIdFrom(const MachineFacts &facts);

    // Lower-case hex MD5 of the text's UTF-8 bytes.
    static QString md5Hex(const QString &text);

    // Base64 of IV + AES-256-CBC ciphertext -> the link text; empty on any failure.
    static QString decryptVmessLink(const QString &encrypted, const QString &key);
    // IV (16 bytes) followed by ciphertext -> plain bytes; empty on any failure.
    static QByteArray aesDecrypt(const QByteArray &data, const QString &key);
};

} // namespace Norvane::Api::Security
