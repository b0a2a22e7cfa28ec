#include "api/vpn/SystemProxyBackup.h"

#include "api/storage/LocalStorage.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace Norvane::Api::Vpn {

namespace {

const QString kActiveKey = QStringLiteral("system_proxy_active");
const QString kUserValuesKey = QStringLiteral("system_proxy_user_values");

Storage::LocalStorage *storage()
{
    return Storage::LocalStorage::instance();
}

} // namespace

bool SystemProxyBackup::isActive()
{
    return storage()->getString(kActiveKey) == QStringLiteral("true");
}

void SystemProxyBackup::activate(const QHash<QString, RegistryValue> &userValues)
{
    QJsonObject values;
    for (auto it = userValues.cbegin(); it != userValues.cend(); ++it)
        values.insert(it.key(), it.value().toJson());
    storage()->setString(kUserValuesKey, QString::fromUtf8(QJsonDocument(values).toJson(QJsonDocument::Compact)));
    storage()->setBool(kActiveKey, true);
    storage()->sync();
}

std::optional<RegistryValue> SystemProxyBackup::userValue(const QString &name)
{
    const QJsonObject values = QJsonDocument::fromJson(storage()->getString(kUserValuesKey).toUtf8()).object();
    return RegistryValue::fromJson(values.value(name));
}

void SystemProxyBackup::release()
{
    storage()->remove(kActiveKey);
    storage()->remove(kUserValuesKey);
    storage()->sync();
}

} // namespace Norvane::Api::Vpn
