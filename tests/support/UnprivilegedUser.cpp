#include "support/UnprivilegedUser.h"

#include "platform/process/TiedChildProcess.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kSetpriv = QStringLiteral("/usr/bin/setpriv");

} // namespace

QString UnprivilegedUser::unavailableReason()
{
    if (::geteuid() != 0)
        return QStringLiteral("the suite runs as a user who is not root and cannot act as another user");
    if (!QFile::exists(kSetpriv))
        return QStringLiteral("setpriv (util-linux) is missing");
    return {};
}

bool UnprivilegedUser::give(const QString &path, uint uid)
{
    if (::lchown(QFile::encodeName(path).constData(), uid, uid) != 0)
        return false;
    QDirIterator entries(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        if (::lchown(QFile::encodeName(entries.next()).constData(), uid, uid) != 0)
            return false;
    }
    return true;
}

// Under the root of the file system's temporary folder: the suite's own TMPDIR may be a
// folder the user cannot enter.
UnprivilegedUser::UnprivilegedUser(uint uid)
    : m_uid(uid)
    , m_root(QStringLiteral("/tmp/norvane-test-user-XXXXXX"))
{
    if (!m_root.isValid() || ::chmod(QFile::encodeName(m_root.path()).constData(), 0755) != 0)
        return;
    const QDir root(m_root.path());
    if (!root.mkpath(QStringLiteral("home")) || !root.mkpath(QStringLiteral("data"))
        || !root.mkpath(QStringLiteral("tmp")))
        return;
    m_valid = give(home(), uid) && give(dataHome(), uid)
        && ::chmod(QFile::encodeName(home()).constData(), 0700) == 0
        && ::chmod(QFile::encodeName(dataHome()).constData(), 0700) == 0
        && ::chmod(QFile::encodeName(sharedTemp()).constData(), 01777) == 0;
}

bool UnprivilegedUser::isValid() const
{
    return m_valid;
}

QString UnprivilegedUser::home() const
{
    return m_root.filePath(QStringLiteral("home"));
}

QString UnprivilegedUser::dataHome() const
{
    return m_root.filePath(QStringLiteral("data"));
}

QString UnprivilegedUser::sharedTemp() const
{
    return m_root.filePath(QStringLiteral("tmp"));
}

void UnprivilegedUser::start(QProcess &process, const QString &program, const QStringList &arguments) const
{
    QProcessEnvironment environment = process.processEnvironment();
    if (environment.isEmpty())
        environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home());
    process.setProcessEnvironment(environment);
    const QString id = QString::number(m_uid);
    Norvane::Platform::startTiedChild(process, kSetpriv,
                                      QStringList{QStringLiteral("--reuid"), id, QStringLiteral("--regid"), id,
                                                  QStringLiteral("--clear-groups"), QStringLiteral("--pdeathsig"),
                                                  QStringLiteral("KILL"), QStringLiteral("--"), program}
                                          + arguments);
}
