#pragma once

#include <QStringList>
#include <QTextStream>

namespace Norvane::Platform::Commands {

// netsh interface ipv4 set address|dnsservers, add route, delete route, on the adapters and
// routes of the emulated state. Adapters are not checked for existence: the stand-in has none.
class InterfaceIpv4Command
{
public:
    // `arguments` follow "interface ipv4".
    static int run(const QStringList &arguments, QTextStream &out, QTextStream &err);
};

} // namespace Norvane::Platform::Commands
