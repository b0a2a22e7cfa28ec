#pragma once

#include "localbackend/LocalBackendServer.h"

#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

namespace Norvane::LocalBackend {

// The service's reply envelope: {"success", "message", "data"} on success,
// {"success": false, "message"[, "errors"]} on failure. Every refusal is logged.
class Envelope
{
public:
    // An undefined data value leaves "data" out.
    static Reply ok(const QString &message, const QJsonValue &data = QJsonValue::Undefined,
                    int status = 200);
    static Reply failure(int status, const QString &message);
    // 422 with field errors {"field": ["text", ...]}; the message is the first text by field name.
    static Reply invalid(const QJsonObject &errors);
    static Reply unauthorized();
    static Reply notFound(const QString &message);

    // Adds one text to the errors of a field.
    static void addError(QJsonObject *errors, const QString &field, const QString &text);

    // The request body as a JSON object; an empty body reads as {}. False for anything else.
    static bool bodyOf(const RecordedRequest &request, QJsonObject *body);
    static Reply badBody();

    // A date-time member of a reply: ISO 8601 text, or null when there is none.
    static QJsonValue dateTime(const QDateTime &dateTime);
};

} // namespace Norvane::LocalBackend
