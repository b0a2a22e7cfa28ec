#include "api/network/LogMasker.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSet>
#include <QString>

namespace Norvane::Api::Network {

namespace {

const QString kMask = QStringLiteral("***");

bool isSecretKey(const QString &key)
{
    static const QSet<QString> keys = {
        QStringLiteral("token"), QStringLiteral("password"), QStringLiteral("vmess_link"),
        QStringLiteral("api_secret_key"), QStringLiteral("vpn_encrypt_key"),
    };
    return keys.contains(key);
}

QJsonValue masked(const QJsonValue &value);

QJsonObject maskedObject(const QJsonObject &object)
{
    QJsonObject result;
    for (auto it = object.constBegin(); it != object.constEnd(); ++it)
        result.insert(it.key(), isSecretKey(it.key()) ? QJsonValue(kMask) : masked(it.value()));
    return result;
}

QJsonValue masked(const QJsonValue &value)
{
    if (value.isObject())
        return maskedObject(value.toObject());
    if (value.isArray()) {
        QJsonArray result;
        const QJsonArray array = value.toArray();
        for (const QJsonValue &element : array)
            result.append(masked(element));
        return result;
    }
    return value;
}

} // namespace

QByteArray LogMasker::maskSecrets(const QByteArray &body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        return body;
    if (document.isObject())
        return QJsonDocument(maskedObject(document.object())).toJson(QJsonDocument::Compact);
    if (document.isArray())
        return QJsonDocument(masked(document.array()).toArray()).toJson(QJsonDocument::Compact);
    return body;
}

} // namespace Norvane::Api::Network
