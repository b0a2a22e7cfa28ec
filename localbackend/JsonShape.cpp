#include "localbackend/JsonShape.h"

#include <QDateTime>
#include <QJsonArray>

#include <algorithm>
#include <cmath>
#include <limits>

namespace Norvane::LocalBackend {

namespace {

bool isWhole(const QJsonValue &value)
{
    return value.isDouble() && std::floor(value.toDouble()) == value.toDouble();
}

bool isIsoDateTime(const QJsonValue &value)
{
    return value.isString() && QDateTime::fromString(value.toString(), Qt::ISODate).isValid();
}

} // namespace

QString JsonShape::valueProblem(const QJsonValue &value, Kind kind)
{
    switch (kind) {
    case Kind::Integer:
        if (isWhole(value) && value.toDouble() >= std::numeric_limits<int>::min()
            && value.toDouble() <= std::numeric_limits<int>::max())
            return {};
        return QStringLiteral("is not a whole number");
    case Kind::Count:
        if (isWhole(value) && value.toDouble() >= 0 && value.toDouble() <= 9007199254740992.0)
            return {};
        return QStringLiteral("is not a whole number of at least 0");
    case Kind::Number:
        return value.isDouble() ? QString() : QStringLiteral("is not a number");
    case Kind::Text:
        return value.isString() ? QString() : QStringLiteral("is not a string");
    case Kind::NonEmptyText:
        return value.isString() && !value.toString().isEmpty() ? QString()
                                                               : QStringLiteral("is not a non-empty string");
    case Kind::Boolean:
        return value.isBool() ? QString() : QStringLiteral("is not a boolean");
    case Kind::DateTime:
        return isIsoDateTime(value) ? QString() : QStringLiteral("is not an ISO 8601 date-time");
    case Kind::OptionalDateTime:
        return value.isNull() || isIsoDateTime(value) ? QString()
                                                      : QStringLiteral("is neither null nor an ISO 8601 date-time");
    case Kind::TextList:
        if (!value.isArray())
            return QStringLiteral("is not an array of strings");
        for (const QJsonValue &element : value.toArray()) {
            if (!element.isString() || element.toString().isEmpty())
                return QStringLiteral("holds something other than a non-empty string");
        }
        return {};
    case Kind::Object:
        return value.isObject() ? QString() : QStringLiteral("is not an object");
    }
    return QStringLiteral("has an unknown kind");
}

QString JsonShape::problem(const QJsonObject &object, const QList<Member> &members)
{
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        const auto member = std::find_if(members.cbegin(), members.cend(),
                                         [&](const Member &m) { return m.name == it.key(); });
        if (member == members.cend())
            return QStringLiteral("has an unknown member \"%1\"").arg(it.key());
        const QString problem = valueProblem(it.value(), member->kind);
        if (!problem.isEmpty())
            return QStringLiteral("member \"%1\" %2").arg(it.key(), problem);
    }
    for (const Member &member : members) {
        if (member.required && !object.contains(member.name))
            return QStringLiteral("has no \"%1\"").arg(member.name);
    }
    return {};
}

} // namespace Norvane::LocalBackend
