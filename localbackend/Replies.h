#pragma once

#include "localbackend/LocalBackendServer.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

namespace Norvane::LocalBackend {

// The envelopes the back end answers with.
class Replies
{
public:
    Replies() = delete;

    // {"success":true,"message":...,"data":...}; no "data" when it is undefined.
    static Reply ok(const QString &message, const QJsonValue &data = QJsonValue::Undefined, int status = 200);
    // {"success":false,"message":...}
    static Reply failure(int status, const QString &message);
    // 401 {"success":false,"message":"未授权"}
    static Reply unauthorized();
};

} // namespace Norvane::LocalBackend
