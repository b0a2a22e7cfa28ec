#include "localbackend/Envelope.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>

namespace Norvane::LocalBackend {

Reply Envelope::ok(const QString &message, const QJsonValue &data, int status)
{
    QJsonObject body{{"success", true}, {"message", message}};
    if (!data.isUndefined())
        body.insert("data", data);
    return Reply::json(body, status);
}

Reply Envelope::failure(int status, const QString &message)
{
    qDebug().noquote() << "[ApiRoutes] refused with" << status << message;
    return Reply::json({{"success", false}, {"message", message}}, status);
}

Reply Envelope::invalid(const QJsonObject &errors)
{
    QString message;
    for (auto it = errors.constBegin(); it != errors.constEnd() && message.isEmpty(); ++it)
        message = it.value().toArray().first().toString();
    qDebug().noquote() << "[ApiRoutes] refused with 422" << message;
    return Reply::json({{"success", false}, {"message", message}, {"errors", errors}}, 422);
}

Reply Envelope::unauthorized()
{
    return failure(401, QStringLiteral("未登录或登录已过期"));
}

Reply Envelope::notFound(const QString &message)
{
    return failure(404, message);
}

void Envelope::addError(QJsonObject *errors, const QString &field, const QString &text)
{
    QJsonArray texts = errors->value(field).toArray();
    texts.append(text);
    errors->insert(field, texts);
}

bool Envelope::bodyOf(const RecordedRequest &request, QJsonObject *body)
{
    if (request.body.trimmed().isEmpty()) {
        *body = {};
        return true;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(request.body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    *body = document.object();
    return true;
}

Reply Envelope::badBody()
{
    return failure(400, QStringLiteral("请求体必须是JSON对象"));
}

QJsonValue Envelope::dateTime(const QDateTime &dateTime)
{
    return dateTime.isValid() ? QJsonValue(dateTime.toString(Qt::ISODate)) : QJsonValue(QJsonValue::Null);
}

} // namespace Norvane::LocalBackend
