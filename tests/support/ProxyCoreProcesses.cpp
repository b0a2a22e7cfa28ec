#include "support/ProxyCoreProcesses.h"

#include "support/UnprivilegedUser.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace {

QByteArray readProcFile(qint64 pid, const QString &name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The fourth field of /proc/PID/stat; the second (the name in parentheses) may hold blanks.
qint64 parentOf(qint64 pid)
{
    const QByteArray stat = readProcFile(pid, QStringLiteral("stat"));
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() : 0;
}

} // namespace

QString proxyCorePath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/resources/vpn/x32/xray.exe");
}

QList<qint64> proxyCoreProcessIds(qint64 parent)
{
    QList<qint64> pids;
    const QStringList cores = QStringList{proxyCorePath()} + UnprivilegedUser::copiesOf(proxyCorePath());
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid)
            continue;
        const QByteArray commandLine = readProcFile(pid, QStringLiteral("cmdline"));
        if (commandLine.isEmpty() || !cores.contains(QString::fromLocal8Bit(commandLine.split('\0').first())))
            continue;
        if (parent == 0 || parentOf(pid) == parent)
            pids << pid;
    }
    return pids;
}

bool isProcessAlive(qint64 pid)
{
    return pid > 0 && !readProcFile(pid, QStringLiteral("cmdline")).isEmpty();
}
