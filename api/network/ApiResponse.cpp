#include "api/network/ApiResponse.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

namespace Norvane::Api::Network {

bool ApiResponse::isSuccess() const
{
    if (signatureRejected || networkError != 0 || statusCode < 200 || statusCode > 299)
        return false;
    const QJsonValue success = json.value(QStringLiteral("success"));
    return !(success.isBool() && !success.toBool());
}

bool ApiResponse::hasJsonObjectBody() const
{
    if (!json.isEmpty())
        return true;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(rawData, &error);
    return error.error == QJsonParseError::NoError && document.isObject();
}

QString ApiResponse::errorMessage() const
{
    const QMap<QString, QStringList> details = errorDetails();
    for (auto it = details.cbegin(); it != details.cend(); ++it) {
        if (!it.value().isEmpty())
            return it.value().first();
    }
    const QJsonValue message = json.value(QStringLiteral("message"));
    if (message.isString() && !message.toString().isEmpty())
        return message.toString();
    return errorString;
}

QMap<QString, QStringList> ApiResponse::errorDetails() const
{
    QMap<QString, QStringList> details;
    const QJsonValue errors = json.value(QStringLiteral("errors"));
    if (!errors.isObject())
        return details;
    const QJsonObject object = errors.toObject();
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        QStringList texts;
        if (it.value().isArray()) {
            const QJsonArray array = it.value().toArray();
            for (const QJsonValue &element : array)
                texts.append(element.toString());
        } else {
            texts.append(it.value().toString());
        }
        details.insert(it.key(), texts);
    }
    return details;
}

QJsonObject ApiResponse::parseObject(const QByteArray &body)
{
    if (body.isEmpty())
        return {};
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return {};
    return document.object();
}

} // namespace Norvane::Api::Network
