#include "localbackend/ConfigItems.h"

namespace Norvane::LocalBackend {

namespace {

// Empty when the value suits the item type; otherwise what is wrong with it.
QString valueProblem(const QString &type, const QJsonValue &value)
{
    if (type == u"boolean")
        return value.isBool() ? QString() : QStringLiteral("value is not a boolean");
    if (type == u"number")
        return value.isDouble() ? QString() : QStringLiteral("value is not a number");
    if (type == u"string")
        return value.isString() ? QString() : QStringLiteral("value is not a string");
    if (type == u"json")
        return value.isObject() ? QString() : QStringLiteral("value is not a JSON object");
    return QStringLiteral("type \"%1\" is not boolean, number, string or json").arg(type);
}

QString itemProblem(const QJsonValue &item)
{
    if (!item.isObject())
        return QStringLiteral("is not an object");
    const QJsonObject object = item.toObject();
    for (const char *member : {"name", "description"}) {
        if (object.contains(QLatin1String(member)) && !object.value(QLatin1String(member)).isString())
            return QStringLiteral("has a \"%1\" that is not a string").arg(QLatin1String(member));
    }
    if (!object.value("type").isString())
        return QStringLiteral("has no \"type\" text");
    if (!object.contains("value"))
        return QStringLiteral("has no \"value\"");
    return valueProblem(object.value("type").toString(), object.value("value"));
}

} // namespace

QString ConfigItems::load(const QJsonObject &section)
{
    for (auto it = section.constBegin(); it != section.constEnd(); ++it) {
        const QString problem = itemProblem(it.value());
        if (!problem.isEmpty())
            return QStringLiteral("configuration item \"%1\" %2").arg(it.key(), problem);
    }
    m_items = section;
    return {};
}

QString ConfigItems::setValue(const QString &key, const QJsonValue &value)
{
    if (!m_items.contains(key))
        return QStringLiteral("no configuration item \"%1\"").arg(key);
    QJsonObject item = m_items.value(key).toObject();
    const QString problem = valueProblem(item.value("type").toString(), value);
    if (!problem.isEmpty())
        return QStringLiteral("configuration item \"%1\": %2").arg(key, problem);
    item.insert("value", value);
    m_items.insert(key, item);
    return {};
}

bool ConfigItems::boolValue(const QString &key, bool fallback) const
{
    const QJsonValue value = valueOf(key);
    return value.isUndefined() ? fallback : value.toVariant().toBool();
}

int ConfigItems::intValue(const QString &key, int fallback) const
{
    const QJsonValue value = valueOf(key);
    return value.isUndefined() ? fallback : value.toVariant().toInt();
}

QString ConfigItems::textValue(const QString &key) const
{
    return valueOf(key).toVariant().toString();
}

QJsonValue ConfigItems::valueOf(const QString &key) const
{
    if (!m_items.contains(key))
        return QJsonValue::Undefined;
    return m_items.value(key).toObject().value("value");
}

} // namespace Norvane::LocalBackend
