// Stand-in for Windows' netsh: the WinHTTP proxy and the IPv4 settings of adapters live in the
// emulated state.
//   netsh winhttp set proxy proxy-server=<server> [bypass-list=<list>]
//   netsh winhttp reset proxy | import proxy source=ie | show proxy
//   netsh interface ipv4 set address name=<adapter> source=static addr=<a> mask=<m> | source=dhcp
//   netsh interface ipv4 set dnsservers name=<adapter> static address=<a> [register=..] [validate=..] | dhcp
//   netsh interface ipv4 add route <prefix> <adapter> <next hop> [metric=<n>]
//   netsh interface ipv4 delete route <prefix> <adapter> [<next hop>]
// "interface ip" is accepted for "interface ipv4", as netsh does.
#include "common/StandInRunner.h"
#include "netsh/InterfaceIpv4Command.h"
#include "netsh/WinHttpCommand.h"

using namespace Norvane::Platform::Commands;

namespace {

int netsh(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const QString context = arguments.value(0).toLower();
    if (context == QStringLiteral("winhttp"))
        return WinHttpCommand::run(arguments.mid(1), out, err);
    const QString family = arguments.value(1).toLower();
    if (context == QStringLiteral("interface") && (family == QStringLiteral("ipv4") || family == QStringLiteral("ip")))
        return InterfaceIpv4Command::run(arguments.mid(2), out, err);
    err << "The following command was not found: " << arguments.join(QLatin1Char(' ')) << ".\n";
    return StandInRunner::kFailed;
}

} // namespace

int main(int argc, char *argv[])
{
    return StandInRunner::run(argc, argv, QStringLiteral("netsh"), netsh);
}
