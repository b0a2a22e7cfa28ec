// Plays a start of the client as far as its single-client guard goes, for the guard's suite:
//   norvane_instance_probe claim LOCK_PATH   claims; a claimant then serves later starts
//   norvane_instance_probe hold LOCK_PATH    holds the lock as a client that never answers
// With "--on-go" after the path it waits for a line on standard input first, so that a test can
// start several at one moment. Everything it reports goes to standard error, with the guard's log.
#include "app/SingleInstance.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QLockFile>

#include <cstdio>

using Norvane::App::SingleInstance;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() < 3)
        return 2;
    const QString mode = arguments.at(1);
    const QString lockPath = arguments.at(2);
    if (arguments.contains(QStringLiteral("--on-go"))) {
        qInfo() << "probe ready";
        char line[16];
        if (!std::fgets(line, sizeof line, stdin))
            return 3;
    }

    if (mode == QStringLiteral("hold")) {
        QLockFile lock(lockPath);
        lock.setStaleLockTime(0);
        if (!lock.tryLock(0))
            return 4;
        qInfo() << "probe holds";
        return app.exec();
    }

    SingleInstance instance(lockPath);
    if (!instance.claim()) {
        qInfo() << "probe not claimed";
        return 0;
    }
    qInfo() << "probe claimed, may repair:" << (instance.mayRepair() ? "yes" : "no");
    return app.exec();
}
