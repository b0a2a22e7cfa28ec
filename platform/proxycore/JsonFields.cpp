#include "proxycore/JsonFields.h"

#include <cmath>

namespace Norvane::Platform {

namespace {

QString quoted(const QString &key)
{
    return QLatin1Char('"') + key + QLatin1Char('"');
}

bool isWholeNumber(const QJsonValue &value, double low, double high)
{
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    return std::floor(number) == number && number >= low && number <= high;
}

} // namespace

JsonFields::JsonFields(const QJsonObject &object, const QString &where)
    : m_object(object)
    , m_where(where)
{
}

QList<JsonFields> JsonFields::elements(const QJsonArray &array, const QString &where)
{
    QList<JsonFields> result;
    for (qsizetype i = 0; i < array.size(); ++i) {
        const QString elementWhere = QStringLiteral("%1[%2]").arg(where).arg(i);
        if (!array.at(i).isObject())
            throw QStringLiteral("%1: must be an object").arg(elementWhere);
        result.append(JsonFields(array.at(i).toObject(), elementWhere));
    }
    return result;
}

void JsonFields::allowOnly(const QStringList &keys) const
{
    for (const QString &key : m_object.keys()) {
        if (!keys.contains(key))
            fail(QStringLiteral("unknown member %1").arg(quoted(key)));
    }
}

QString JsonFields::string(const QString &key) const
{
    if (!has(key))
        fail(QStringLiteral("%1 is missing").arg(quoted(key)));
    const QString text = optionalString(key, {});
    if (text.isEmpty())
        fail(QStringLiteral("%1 must not be empty").arg(quoted(key)));
    return text;
}

QString JsonFields::optionalString(const QString &key, const QString &fallback) const
{
    if (!has(key))
        return fallback;
    if (!value(key).isString())
        fail(QStringLiteral("%1 must be a string").arg(quoted(key)));
    return value(key).toString();
}

int JsonFields::port(const QString &key) const
{
    if (!has(key))
        fail(QStringLiteral("%1 is missing").arg(quoted(key)));
    if (!isWholeNumber(value(key), 1, 65535))
        fail(QStringLiteral("%1 must be an integer from 1 to 65535").arg(quoted(key)));
    return value(key).toInt();
}

int JsonFields::integer(const QString &key, int fallback) const
{
    if (!has(key))
        return fallback;
    if (!isWholeNumber(value(key), 0, 65535))
        fail(QStringLiteral("%1 must be an integer from 0 to 65535").arg(quoted(key)));
    return value(key).toInt();
}

bool JsonFields::boolean(const QString &key, bool fallback) const
{
    if (!has(key))
        return fallback;
    if (!value(key).isBool())
        fail(QStringLiteral("%1 must be true or false").arg(quoted(key)));
    return value(key).toBool();
}

QJsonObject JsonFields::object(const QString &key) const
{
    if (has(key) && !value(key).isObject())
        fail(QStringLiteral("%1 must be an object").arg(quoted(key)));
    return value(key).toObject();
}

QJsonArray JsonFields::array(const QString &key) const
{
    if (has(key) && !value(key).isArray())
        fail(QStringLiteral("%1 must be an array").arg(quoted(key)));
    return value(key).toArray();
}

QStringList JsonFields::stringList(const QString &key) const
{
    if (!has(key))
        return {};
    const QJsonArray items = value(key).isArray() ? value(key).toArray() : QJsonArray{value(key)};
    QStringList result;
    for (const QJsonValue &item : items) {
        if (!item.isString() || item.toString().isEmpty())
            fail(QStringLiteral("%1 must be a text or a list of texts, none empty").arg(quoted(key)));
        result.append(item.toString());
    }
    if (result.isEmpty())
        fail(QStringLiteral("%1 must not be an empty list").arg(quoted(key)));
    return result;
}

QList<int> JsonFields::portList(const QString &key) const
{
    if (!has(key))
        return {};
    const QJsonArray items = value(key).isArray() ? value(key).toArray() : QJsonArray{value(key)};
    QList<int> result;
    for (const QJsonValue &item : items) {
        if (!isWholeNumber(item, 1, 65535))
            fail(QStringLiteral("%1 must be a port or a list of ports from 1 to 65535").arg(quoted(key)));
        result.append(item.toInt());
    }
    if (result.isEmpty())
        fail(QStringLiteral("%1 must not be an empty list").arg(quoted(key)));
    return result;
}

void JsonFields::fail(const QString &problem) const
{
    throw m_where + QStringLiteral(": ") + problem;
}

} // namespace Norvane::Platform
