#pragma once

#include <QJsonObject>
#include <QString>
#include <QVariant>

namespace Norvane::Api::Models {

// One typed entry of the back end's remote configuration.
struct ConfigItem
{
    QVariant value;
    QString name;
    QString description;
    QString type;

    static ConfigItem fromJson(const QJsonObject &json);
};

} // namespace Norvane::Api::Models
