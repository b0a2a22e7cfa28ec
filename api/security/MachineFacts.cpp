#include "api/security/MachineFacts.h"

#include "platform/security/PlatformSecurity.h"

#include <QSysInfo>

namespace Norvane::Api::Security {

MachineFacts MachineFacts::current()
{
    MachineFacts facts;
    facts.hostName = QSysInfo::machineHostName();
    facts.productType = QSysInfo::productType();
    facts.productVersion = QSysInfo::productVersion();
    facts.cpuArchitecture = QSysInfo::currentCpuArchitecture();
    facts.volumeSerial = Platform::systemVolumeSerial();
    return facts;
}

} // namespace Norvane::Api::Security
