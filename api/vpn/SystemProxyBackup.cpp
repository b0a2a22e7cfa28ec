#include "api/vpn/SystemProxyBackup.h"

#include "api/storage/LocalStorage.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace Norvane::Api::Vpn {

namespace {

const QString kActiveKey = QStringLiteral("system_proxy_active");
const QString kUserValuesKey = QStringLiteral("system_proxy_user_values");
const QString kProxyEnable = QStringLiteral("ProxyEnable");
const QString kProxyServer = QStringLiteral("ProxyServer");

Storage::LocalStorage *storage()
{
    return Storage::LocalStorage::instance();
}

std::optional<RegistryValue> userValue(const QString &name)
{
    const QJsonObject values = QJsonDocument::fromJson(storage()->getString(kUserValuesKey).toUtf8()).object();
    return RegistryValue::fromJson(values.value(name));
}

} // namespace

bool SystemProxyBackup::isActive()
{
    return storage()->getString(kActiveKey) == QStringLiteral("true");
}

void SystemProxyBackup::activate(const std::optional<RegistryValue> &proxyEnable,
                                 const std::optional<RegistryValue> &proxyServer)
{
    QJsonObject values;
    if (proxyEnable)
        values.insert(kProxyEnable, proxyEnable->toJson());
    if (proxyServer)
        values.insert(kProxyServer, proxyServer->toJson());
    storage()->setString(kUserValuesKey, QString::fromUtf8(QJsonDocument(values).toJson(QJsonDocument::Compact)));
    storage()->setBool(kActiveKey, true);
    storage()->sync();
}

std::optional<RegistryValue> SystemProxyBackup::proxyEnable()
{
    return userValue(kProxyEnable);
}

std::optional<RegistryValue> SystemProxyBackup::proxyServer()
{
    return userValue(kProxyServer);
}

void SystemProxyBackup::release()
{
    storage()->remove(kActiveKey);
    storage()->remove(kUserValuesKey);
    storage()->sync();
}

} // namespace Norvane::Api::Vpn
