#pragma once

#include "localbackend/LocalBackendServer.h"

#include <QJsonObject>
#include <QString>

#include <optional>

namespace Norvane::LocalBackend {

// Typed reads of request members; each gives nothing when the member is absent or of the
// wrong kind, so the route can name the member in its refusal.
class RequestFields
{
public:
    // A string that is not blank.
    static std::optional<QString> text(const QJsonObject &body, const QString &key);
    // A JSON number without a fraction.
    static std::optional<qint64> wholeNumber(const QJsonObject &body, const QString &key);
    // A query item in decimal; the fallback when the item is absent.
    static std::optional<qint64> queryNumber(const RecordedRequest &request, const QString &key,
                                             qint64 fallback);
    // A path capture in decimal above 0.
    static std::optional<int> pathId(const RecordedRequest &request, int index = 0);
};

} // namespace Norvane::LocalBackend
