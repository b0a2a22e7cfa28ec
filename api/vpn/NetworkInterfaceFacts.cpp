#include "api/vpn/NetworkInterfaceFacts.h"

#include <QNetworkInterface>

namespace Norvane::Api::Vpn {

QList<NetworkInterfaceFacts> NetworkInterfaceFacts::fromSystem()
{
    QList<NetworkInterfaceFacts> facts;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces) {
        const QNetworkInterface::InterfaceFlags flags = interface.flags();
        facts.append({interface.name(), flags.testFlag(QNetworkInterface::IsUp),
                      flags.testFlag(QNetworkInterface::IsLoopBack)});
    }
    return facts;
}

} // namespace Norvane::Api::Vpn
