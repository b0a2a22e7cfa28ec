#pragma once

#include <QJsonObject>
#include <QString>

namespace Norvane::Platform::Commands {

class EmulatedState;

// The registry part of the emulated state. A value is { "type": ..., "data": ... }.
// The user's environment variables are the values of HKEY_CURRENT_USER\Environment, as on
// Windows: that key reads and writes the state's "environment" section, as REG_SZ texts.
class RegistryStore
{
public:
    inline static const QString kInternetSettings = QStringLiteral(
        "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings");
    inline static const QString kEnvironment = QStringLiteral("HKEY_CURRENT_USER\\Environment");

    // The key with its root in the long form reg prints ("HKCU" becomes "HKEY_CURRENT_USER");
    // empty when the root is unknown or a part of the path is empty.
    static QString canonicalKey(const QString &key);
    // Empty when the value is absent; *storedName gets the spelling the value was written with.
    // The key must be canonical.
    static QJsonObject value(const EmulatedState &state, const QString &key, const QString &name,
                             QString *storedName = nullptr);
    static void setValue(EmulatedState &state, const QString &key, const QString &name,
                         const QJsonObject &value);
};

} // namespace Norvane::Platform::Commands
