#pragma once

#include <QList>
#include <QString>

#include <functional>

namespace Norvane::Api::Vpn {

// What the tunnel needs to know of one network interface when it picks the outgoing one.
struct NetworkInterfaceFacts
{
    QString name;
    bool up = false;
    bool loopback = false;

    // The machine's interfaces in the platform's order.
    static QList<NetworkInterfaceFacts> fromSystem();
};

using NetworkInterfaceLister = std::function<QList<NetworkInterfaceFacts>()>;

} // namespace Norvane::Api::Vpn
