#include "api/models/RegisterRequest.h"

#include <QJsonValue>

namespace Norvane::Api::Models {

QJsonObject RegisterRequest::toJson() const
{
    return QJsonObject{
        {QStringLiteral("email"), email},
        {QStringLiteral("password"), password},
        {QStringLiteral("password_confirmation"), passwordConfirmation},
        {QStringLiteral("name"), name},
        {QStringLiteral("device_id"), deviceId},
        {QStringLiteral("device_name"), deviceName},
        {QStringLiteral("device_type"), deviceType},
        {QStringLiteral("equipment"), equipment},
        {QStringLiteral("reffer_code"),
         refferCode.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(refferCode)},
    };
}

} // namespace Norvane::Api::Models
