#pragma once

#include "api/vpn/RegistryValue.h"

#include <optional>

namespace Norvane::Api::Vpn {

// What the client must put back once it has pointed the system proxy at itself: the user's own
// ProxyEnable and ProxyServer values (each absent when it could not be read) and the mark that
// the proxy points at the client. Both are written to the settings file at once, so the next
// start-up can restore them after a crash or a power loss.
class SystemProxyBackup
{
public:
    static bool isActive();
    static void activate(const std::optional<RegistryValue> &proxyEnable,
                         const std::optional<RegistryValue> &proxyServer);
    static std::optional<RegistryValue> proxyEnable();
    static std::optional<RegistryValue> proxyServer();
    static void release();
};

} // namespace Norvane::Api::Vpn
