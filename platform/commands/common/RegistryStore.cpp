#include "common/RegistryStore.h"

#include "common/CaseInsensitiveName.h"
#include "common/EmulatedState.h"

#include <QHash>

#include <algorithm>

namespace Norvane::Platform::Commands {

namespace {

const QHash<QString, QString> &roots()
{
    static const QHash<QString, QString> table{
        {QStringLiteral("HKCU"), QStringLiteral("HKEY_CURRENT_USER")},
        {QStringLiteral("HKLM"), QStringLiteral("HKEY_LOCAL_MACHINE")},
        {QStringLiteral("HKCR"), QStringLiteral("HKEY_CLASSES_ROOT")},
        {QStringLiteral("HKU"), QStringLiteral("HKEY_USERS")},
        {QStringLiteral("HKCC"), QStringLiteral("HKEY_CURRENT_CONFIG")},
    };
    return table;
}

} // namespace

QString RegistryStore::canonicalKey(const QString &key)
{
    QStringList parts = key.split(QLatin1Char('\\'));
    while (parts.size() > 1 && parts.last().isEmpty())
        parts.removeLast();
    if (parts.contains(QString()))
        return {};

    const QString root = parts.first().toUpper();
    if (roots().contains(root))
        parts.first() = roots().value(root);
    else if (std::find(roots().cbegin(), roots().cend(), root) != roots().cend())
        parts.first() = root;
    else
        return {};
    return parts.join(QLatin1Char('\\'));
}

QJsonObject RegistryStore::value(const EmulatedState &state, const QString &key, const QString &name,
                                 QString *storedName)
{
    const QJsonObject registry = state.object(EmulatedState::kRegistry);
    const QJsonObject values = registry.value(CaseInsensitiveName::find(registry, key)).toObject();
    const QString found = CaseInsensitiveName::find(values, name);
    if (storedName)
        *storedName = found;
    return values.value(found).toObject();
}

void RegistryStore::setValue(EmulatedState &state, const QString &key, const QString &name,
                             const QJsonObject &value)
{
    QJsonObject registry = state.object(EmulatedState::kRegistry);
    const QString storedKey = CaseInsensitiveName::find(registry, key);
    QJsonObject values = registry.value(storedKey).toObject();
    values.insert(CaseInsensitiveName::find(values, name), value);
    registry.insert(storedKey, values);
    state.set(EmulatedState::kRegistry, registry);
}

} // namespace Norvane::Platform::Commands
