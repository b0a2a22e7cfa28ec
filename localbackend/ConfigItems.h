#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

namespace Norvane::LocalBackend {

// The system configuration: typed items by key ({"value", "name", "description", "type"}),
// as the configuration reply carries them.
class ConfigItems
{
public:
    // Takes the seed's "configs" section; returns what is wrong with it, empty when it is good.
    QString load(const QJsonObject &section);
    QJsonObject items() const { return m_items; }

    // Replaces the value of an existing item; returns the problem, empty on success.
    QString setValue(const QString &key, const QJsonValue &value);

    // Absent items give the fallback.
    bool boolValue(const QString &key, bool fallback = false) const;
    int intValue(const QString &key, int fallback = 0) const;
    QString textValue(const QString &key) const;

private:
    QJsonValue valueOf(const QString &key) const;

    QJsonObject m_items;
};

} // namespace Norvane::LocalBackend
