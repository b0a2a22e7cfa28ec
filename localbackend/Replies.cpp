#include "localbackend/Replies.h"

namespace Norvane::LocalBackend {

Reply Replies::ok(const QString &message, const QJsonValue &data, int status)
{
    QJsonObject envelope{{"success", true}, {"message", message}};
    if (!data.isUndefined())
        envelope.insert("data", data);
    return Reply::json(envelope, status);
}

Reply Replies::failure(int status, const QString &message)
{
    return Reply::json({{"success", false}, {"message", message}}, status);
}

Reply Replies::unauthorized()
{
    return failure(401, QStringLiteral("未授权"));
}

} // namespace Norvane::LocalBackend
