#pragma once

#include <QList>
#include <QString>

namespace Norvane::Api::Vpn {

// What the TUN mode needs to know of one network interface to pick the outgoing one.
struct NetworkInterfaceEntry
{
    QString name;
    bool isUp = false;
    bool isLoopback = false;

    // The platform's interfaces in the order it gives them.
    static QList<NetworkInterfaceEntry> systemInterfaces();
};

} // namespace Norvane::Api::Vpn
