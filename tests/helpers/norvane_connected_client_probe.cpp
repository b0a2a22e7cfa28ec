// Plays the client while it is connected, in a process of its own, so tests can kill it there
// and see what the next start of the client finds. It runs the real connection engine with the
// proxy core that ships beside it, and keeps its state in the client's own settings file.
//   LINK    connects to the vmess link, prints "probe connected" once up, then runs until killed
#include "api/models/User.h"
#include "api/services/VpnConnectionService.h"
#include "api/vpn/V2RayCore.h"

#include <QCoreApplication>
#include <QTextStream>

using Norvane::Api::Services::VpnConnectionService;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The settings file is named after the program: this is the client's.
    QCoreApplication::setApplicationName(QStringLiteral("norvane"));
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 1) {
        QTextStream(stderr) << "usage: norvane_connected_client_probe LINK\n";
        return 2;
    }

    VpnConnectionService *service = VpnConnectionService::instance();
    service->proxyCore()->setConnectDelay(200);
    Norvane::Api::Models::User user;
    user.id = 1;
    user.status = QStringLiteral("active");
    user.isVip = true;
    service->updateUserInfo(user);
    QObject::connect(service, &VpnConnectionService::connectionSuccess, &app,
                     []() { QTextStream(stdout) << "probe connected" << Qt::endl; });
    QObject::connect(service, &VpnConnectionService::connectionFailed, &app, [&app](auto, const QString &text) {
        QTextStream(stderr) << "failed: " << text << Qt::endl;
        app.exit(1);
    });
    if (!service->connect(1, args[0]))
        return 1;
    return app.exec();
}
