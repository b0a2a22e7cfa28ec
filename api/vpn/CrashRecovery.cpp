#include "api/vpn/CrashRecovery.h"

#include "api/vpn/SystemProxyManager.h"
#include "api/vpn/V2RayCore.h"

namespace Norvane::Api::Vpn {

void CrashRecovery::run()
{
    V2RayCore::endLeftoverCore();
    V2RayCore::removeLeftoverConfigFile();
    SystemProxyManager::restoreAfterCrash();
}

} // namespace Norvane::Api::Vpn
