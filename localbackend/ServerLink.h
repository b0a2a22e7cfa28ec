#pragma once

#include <QJsonObject>
#include <QString>

namespace Norvane::LocalBackend {

// A server's vmess link: "vmess://" + Base64 of the compact JSON object the seed gives, and its
// encrypted form (Base64 of a random 16-byte IV followed by the AES-256-CBC ciphertext of the
// link, PKCS#7-padded, keyed by the SHA-256 of the link key text).
class ServerLink
{
public:
    ServerLink() = delete;

    // Empty when the object has exactly the link members as strings, points at 127.0.0.1 and
    // carries a usable port and user id.
    static QString problem(const QJsonObject &vmess);
    static QString plain(const QJsonObject &vmess);
    // Empty when the encryption cannot be done.
    static QString encrypted(const QString &link, const QString &keyText);
};

} // namespace Norvane::LocalBackend
