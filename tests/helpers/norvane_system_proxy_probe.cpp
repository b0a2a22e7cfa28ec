// Plays the client around a crash, in a process of its own, so tests can see what a later
// start-up finds in the settings file.
//   set URL    point the system proxy at URL, then die at once, as in a crash or a power loss
//   restore    what start-up does: put back a system proxy left pointing at the client
#include "api/vpn/SystemProxyManager.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QTextStream>

#include <csignal>
#include <unistd.h>

using Norvane::Api::Vpn::SystemProxyManager;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const QStringList args = app.arguments().mid(1);

    if (args.size() == 2 && args[0] == "set") {
        SystemProxyManager::setSystemProxy(args[1]);
        ::kill(::getpid(), SIGKILL);
    }
    if (args.size() == 1 && args[0] == "restore")
        return SystemProxyManager::restoreAfterCrash() ? 0 : 1;
    QTextStream(stderr) << "usage: norvane_system_proxy_probe set URL | restore\n";
    return 2;
}
