// Acts on the client's local state in a process of its own, so tests can see what survives an exit.
//   set KEY VALUE     store a text and exit without running the event loop
//   write KEY VALUE   store a text, let the event loop run, then end at once: what is on disk
//                     then was written while running, not by the store's last sync at exit
//   login TOKEN JSON  log in with a user record given as JSON
//   dump              print the stored state as one JSON object
#include "api/models/User.h"
#include "api/security/TokenManager.h"
#include "api/storage/LocalStorage.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

using Norvane::Api::Models::User;
using Norvane::Api::Security::TokenManager;
using Norvane::Api::Storage::LocalStorage;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const QStringList args = app.arguments().mid(1);
    QTextStream out(stdout);
    QTextStream err(stderr);

    if (args.size() == 3 && args[0] == "set") {
        LocalStorage::instance()->setString(args[1], args[2]);
        return 0;
    }
    if (args.size() == 3 && args[0] == "write") {
        LocalStorage::instance()->setString(args[1], args[2]);
        QEventLoop loop;
        QTimer::singleShot(200, &loop, &QEventLoop::quit);
        loop.exec();
        std::fflush(stderr);
        std::_Exit(0);
    }
    if (args.size() == 3 && args[0] == "login") {
        const QJsonDocument document = QJsonDocument::fromJson(args[2].toUtf8());
        if (!document.isObject()) {
            err << "login: the user record is not a JSON object\n";
            return 2;
        }
        TokenManager::instance()->login(args[1], User::fromJson(document.object()));
        return 0;
    }
    if (args.size() == 1 && args[0] == "dump") {
        TokenManager *manager = TokenManager::instance();
        const QJsonObject state{
            {"path", LocalStorage::instance()->filePath()},
            {"token", manager->token()},
            {"logged_in", manager->isLoggedIn()},
            {"user", manager->getUser().toJson()},
            {"device_id", manager->getDeviceId()},
        };
        out << QJsonDocument(state).toJson(QJsonDocument::Compact) << "\n";
        return 0;
    }
    err << "usage: norvane_state_probe set KEY VALUE | write KEY VALUE | login TOKEN JSON | dump\n";
    return 2;
}
