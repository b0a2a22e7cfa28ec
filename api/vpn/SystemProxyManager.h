#pragma once

#include "api/vpn/RegistryValue.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace Norvane::Api::Vpn {

// Points the Windows proxy settings (Internet Settings, WinHTTP, the user's http_proxy and
// https_proxy) at the local proxy core and back, by running the platform's reg, netsh and setx
// and waiting for each. The user's own ProxyEnable, ProxyServer, http_proxy and https_proxy are
// kept before the first change and put back by clearing, also at the next start-up when the
// client died while connected.
class SystemProxyManager
{
public:
    static constexpr int kDefaultCommandTimeoutMs = 10000;

    static bool setSystemProxy(const QString &proxyUrl);
    // Runs every step even when one fails; false when any failed.
    static bool clearSystemProxy();
    // For start-up: clears a system proxy left pointing at the client; true when there was none.
    static bool restoreAfterCrash();
    // For start-up when the settings file keeps no record of the user's values (it lost it) and
    // no core serves the client's proxy: switches the proxy off when the Internet Settings still
    // read it enabled at proxyUrl's server string. True when there was nothing to do.
    static bool switchOffOrphanedProxy(const QString &proxyUrl);

    static int commandTimeout();
    static void setCommandTimeout(int milliseconds);

private:
    static bool setEnvironmentProxy(const QString &proxyUrl);
    static bool clearEnvironmentProxy();
    static bool importWinHttpProxy();
    static bool setRegistryValue(const QString &key, const QString &name, const QString &value,
                                 const QString &type);
    static bool runCommand(const QString &program, const QStringList &arguments);
    // The "scheme=host:port" form of a proxy URL that ProxyServer and WinHTTP take.
    static std::optional<QString> serverString(const QString &proxyUrl);

    static std::optional<RegistryValue> queryRegistryValue(const QString &key, const QString &name);
    static void recordUserValues();
    static bool restoreProxyEnable();
    static bool restoreProxyServer();
};

} // namespace Norvane::Api::Vpn
