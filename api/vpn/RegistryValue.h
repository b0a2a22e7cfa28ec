#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

namespace Norvane::Api::Vpn {

// One registry value, in the form reg add takes it back: its type name and its data as text
// (a REG_DWORD in decimal).
struct RegistryValue
{
    QString type;
    QString data;

    // The line of `name` in what "reg query <key> /v <name>" printed; nullopt when there is none.
    static std::optional<RegistryValue> fromQueryOutput(const QString &output, const QString &name);
    static std::optional<RegistryValue> fromJson(const QJsonValue &json);
    QJsonObject toJson() const;
};

} // namespace Norvane::Api::Vpn
