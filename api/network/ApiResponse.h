#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QStringList>

namespace Norvane::Api::Network {

// The outcome of one exchange with the back end, handed to every reply handler.
struct ApiResponse
{
    QByteArray rawData;
    int statusCode = 0;
    QJsonObject json;
    int networkError = 0;
    QString errorString;
    // A signed reply whose signature did not match: never data, always a failure.
    bool signatureRejected = false;

    bool isSuccess() const;
    // True when the body is a JSON object, even an empty one; a page or an array is not.
    bool hasJsonObjectBody() const;
    QString errorMessage() const;
    QMap<QString, QStringList> errorDetails() const;

    static QJsonObject parseObject(const QByteArray &body);
};

} // namespace Norvane::Api::Network
