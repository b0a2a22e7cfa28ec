#include "localbackend/RequestFields.h"

#include <QJsonValue>

#include <cmath>

namespace Norvane::LocalBackend {

namespace {

// Integers beyond this are not exact in a double.
constexpr double kLargestExact = 9007199254740992.0;

} // namespace

std::optional<QString> RequestFields::text(const QJsonObject &body, const QString &key)
{
    const QJsonValue value = body.value(key);
    if (!value.isString() || value.toString().trimmed().isEmpty())
        return std::nullopt;
    return value.toString();
}

std::optional<qint64> RequestFields::wholeNumber(const QJsonObject &body, const QString &key)
{
    const QJsonValue value = body.value(key);
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (std::floor(number) != number || std::fabs(number) > kLargestExact)
        return std::nullopt;
    return qint64(number);
}

std::optional<qint64> RequestFields::queryNumber(const RecordedRequest &request, const QString &key,
                                                 qint64 fallback)
{
    if (!request.query.hasQueryItem(key))
        return fallback;
    bool ok = false;
    const qint64 number = request.query.queryItemValue(key).toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return number;
}

std::optional<int> RequestFields::pathId(const RecordedRequest &request, int index)
{
    bool ok = false;
    const int id = request.pathArgs.value(index).toInt(&ok);
    if (!ok || id <= 0)
        return std::nullopt;
    return id;
}

} // namespace Norvane::LocalBackend
