#include "api/vpn/CrashRecovery.h"

#include "api/vpn/SystemProxyBackup.h"
#include "api/vpn/SystemProxyManager.h"
#include "api/vpn/V2RayCore.h"

namespace Norvane::Api::Vpn {

void CrashRecovery::run()
{
    const bool noCoreLeft = V2RayCore::endLeftoverCore();
    V2RayCore::removeLeftoverConfigFile();
    if (SystemProxyBackup::isActive())
        SystemProxyManager::restoreAfterCrash();
    else if (noCoreLeft)
        // The settings file may have lost the record while the proxy still points at the client.
        SystemProxyManager::switchOffOrphanedProxy(V2RayCore::localProxyUrl());
}

} // namespace Norvane::Api::Vpn
