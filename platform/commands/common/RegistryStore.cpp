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

const QString kSz = QStringLiteral("REG_SZ");

bool isEnvironment(const QString &key)
{
    return key.compare(RegistryStore::kEnvironment, Qt::CaseInsensitive) == 0;
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
    if (isEnvironment(key)) {
        const QJsonObject environment = state.object(EmulatedState::kEnvironment);
        const QString found = CaseInsensitiveName::find(environment, name);
        if (storedName)
            *storedName = found;
        if (!environment.contains(found))
            return {};
        return QJsonObject{{QStringLiteral("type"), kSz}, {QStringLiteral("data"), environment.value(found)}};
    }
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
    // A variable is text: a number written there is kept as its decimal text.
    if (isEnvironment(key)) {
        QJsonObject environment = state.object(EmulatedState::kEnvironment);
        environment.insert(CaseInsensitiveName::find(environment, name),
                           value.value(QStringLiteral("data")).toVariant().toString());
        state.set(EmulatedState::kEnvironment, environment);
        return;
    }
    QJsonObject registry = state.object(EmulatedState::kRegistry);
    const QString storedKey = CaseInsensitiveName::find(registry, key);
    QJsonObject values = registry.value(storedKey).toObject();
    values.insert(CaseInsensitiveName::find(values, name), value);
    registry.insert(storedKey, values);
    state.set(EmulatedState::kRegistry, registry);
}

} // namespace Norvane::Platform::Commands
