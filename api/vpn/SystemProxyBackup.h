#pragma once

#include "api/vpn/RegistryValue.h"

#include <QHash>
#include <QString>

#include <optional>

namespace Norvane::Api::Vpn {

// What the client must put back once it has pointed the system proxy at itself: the user's own
// values, by name (ProxyEnable and ProxyServer of the Internet Settings, the http_proxy and
// https_proxy variables; a value that could not be read is absent) and the mark that the proxy
// points at the client. Both are written to the settings file at once, so the next start-up can
// restore them after a crash or a power loss.
class SystemProxyBackup
{
public:
    static bool isActive();
    static void activate(const QHash<QString, RegistryValue> &userValues);
    static std::optional<RegistryValue> userValue(const QString &name);
    static void release();
};

} // namespace Norvane::Api::Vpn
