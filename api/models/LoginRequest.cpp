#include "api/models/LoginRequest.h"

namespace Norvane::Api::Models {

QJsonObject LoginRequest::toJson() const
{
    return QJsonObject{
        {QStringLiteral("email"), email},
        {QStringLiteral("password"), password},
        {QStringLiteral("device_id"), deviceId},
        {QStringLiteral("device_name"), deviceName},
        {QStringLiteral("device_type"), deviceType},
    };
}

} // namespace Norvane::Api::Models
