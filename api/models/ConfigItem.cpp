#include "api/models/ConfigItem.h"

#include <QJsonValue>

namespace Norvane::Api::Models {

ConfigItem ConfigItem::fromJson(const QJsonObject &json)
{
    ConfigItem item;
    item.name = json.value(QStringLiteral("name")).toString();
    item.description = json.value(QStringLiteral("description")).toString();
    item.type = json.value(QStringLiteral("type")).toString();

    // The declared type decides the conversion; a value of another JSON type
    // ends up as that conversion's empty result.
    const QJsonValue value = json.value(QStringLiteral("value"));
    if (item.type == QLatin1String("boolean"))
        item.value = value.toBool();
    else if (item.type == QLatin1String("number"))
        item.value = value.toDouble();
    else if (item.type == QLatin1String("json"))
        item.value = value.toObject();
    else
        item.value = value.toString();
    return item;
}

} // namespace Norvane::Api::Models
