#include "support/ProxyCoreProcesses.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

QString proxyCorePath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/resources/vpn/x32/xray.exe");
}

QList<qint64> proxyCoreProcessIds()
{
    QList<qint64> pids;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(entry));
        if (!isPid || !cmdline.open(QIODevice::ReadOnly))
            continue;
        if (QString::fromLocal8Bit(cmdline.readAll().split('\0').first()) == proxyCorePath())
            pids << pid;
    }
    return pids;
}
