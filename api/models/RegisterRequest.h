#pragma once

#include <QJsonObject>
#include <QString>

namespace Norvane::Api::Models {

// The body of a sign-up request. An empty referral code is sent as JSON null.
struct RegisterRequest
{
    QString email;
    QString password;
    QString passwordConfirmation;
    QString name;
    QString deviceId;
    QString deviceName;
    QString deviceType = QStringLiteral("windows");
    QString equipment = QStringLiteral("Norvane加速器");
    QString refferCode;

    QJsonObject toJson() const;
};

} // namespace Norvane::Api::Models
