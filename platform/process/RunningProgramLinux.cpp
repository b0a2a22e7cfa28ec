#include "platform/process/RunningProgram.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <climits>
#include <unistd.h>

namespace Norvane::Platform {

namespace {

// The program file a process runs; empty when the process is gone or may not be looked into.
// A program file replaced or removed since the start (an update) reads " (deleted)".
QByteArray programFileOf(const QByteArray &procEntry)
{
    char target[PATH_MAX];
    const ssize_t length = ::readlink(QByteArray("/proc/" + procEntry + "/exe").constData(), target, sizeof target);
    if (length <= 0 || length == ssize_t(sizeof target))
        return {};
    QByteArray path(target, int(length));
    static const QByteArray deleted = " (deleted)";
    if (path.endsWith(deleted))
        path.chop(deleted.size());
    return path;
}

const QByteArray &thisProgramFile()
{
    static const QByteArray path = programFileOf("self");
    return path;
}

// The real user id from /proc/<pid>/status ("Uid:\treal\teffective\tsaved\tfilesystem").
bool realUserOf(const QByteArray &procEntry, uint *uid)
{
    QFile status(QString::fromLatin1("/proc/" + procEntry + "/status"));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    // Files under /proc tell no size: read to the end rather than asking atEnd().
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("Uid:")) {
            const QList<QByteArray> fields = line.mid(4).simplified().split(' ');
            bool ok = false;
            *uid = fields.value(0).toUInt(&ok);
            return ok;
        }
    }
    return false;
}

} // namespace

bool isProcessRunning(qint64 pid)
{
    return pid > 0 && pid <= INT_MAX && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

bool isThisProgram(qint64 pid)
{
    if (pid <= 0 || pid > INT_MAX || thisProgramFile().isEmpty())
        return false;
    return programFileOf(QByteArray::number(pid)) == thisProgramFile();
}

bool anotherProcessOfThisUserRunsThisProgram()
{
    if (thisProgramFile().isEmpty())
        return false;
    const QByteArray self = QByteArray::number(qint64(::getpid()));
    const uid_t user = ::getuid();
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool isPid = false;
        entry.toLongLong(&isPid);
        const QByteArray procEntry = entry.toLatin1();
        if (!isPid || procEntry == self)
            continue;
        uint owner = 0;
        if (realUserOf(procEntry, &owner) && owner == user && programFileOf(procEntry) == thisProgramFile())
            return true;
    }
    return false;
}

} // namespace Norvane::Platform
