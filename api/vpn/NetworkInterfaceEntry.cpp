#include "api/vpn/NetworkInterfaceEntry.h"

#include <QNetworkInterface>

namespace Norvane::Api::Vpn {

QList<NetworkInterfaceEntry> NetworkInterfaceEntry::systemInterfaces()
{
    QList<NetworkInterfaceEntry> entries;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces) {
        const QNetworkInterface::InterfaceFlags flags = interface.flags();
        // On Windows name() is an internal name such as "ethernet_32769"; the tunnel program
        // and the adapter's own "wintun" go by the name the user sees ("以太网"). Elsewhere the two agree.
        entries.append({interface.humanReadableName(), flags.testFlag(QNetworkInterface::IsUp),
                        flags.testFlag(QNetworkInterface::IsLoopBack)});
    }
    return entries;
}

} // namespace Norvane::Api::Vpn
