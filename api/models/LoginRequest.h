#pragma once

#include <QJsonObject>
#include <QString>

namespace Norvane::Api::Models {

// The body of a sign-in request: the credentials plus the device they are used from.
struct LoginRequest
{
    QString email;
    QString password;
    QString deviceId;
    QString deviceName;
    QString deviceType = QStringLiteral("windows");

    QJsonObject toJson() const;
};

} // namespace Norvane::Api::Models
