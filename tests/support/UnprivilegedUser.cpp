#include "support/UnprivilegedUser.h"

#include "platform/process/TiedChildProcess.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kSetpriv = QStringLiteral("/usr/bin/setpriv");
// What the client and its probes find beside themselves.
const QStringList kBesideThePrograms{QStringLiteral("resources"), QStringLiteral("platform-commands")};

// A hard link where it can be made (the same file system), a copy otherwise.
bool linkOrCopy(const QString &from, const QString &to)
{
    if (QFileInfo::exists(to))
        return true;
    return ::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0
        || QFile::copy(from, to);
}

QString helperFolder()
{
    return QFileInfo(TestEnvironment::helperPath(QStringLiteral("norvane"))).path();
}

// The program folders of the users that live.
QStringList &userProgramFolders()
{
    static QStringList folders;
    return folders;
}

bool mirror(const QString &from, const QString &to)
{
    if (!QFileInfo(from).isDir())
        return linkOrCopy(from, to);
    if (!QDir().mkpath(to))
        return false;
    QDirIterator entries(from, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        const QString file = entries.next();
        const QString target = to + file.mid(from.size());
        if (!QDir().mkpath(QFileInfo(target).path()) || !linkOrCopy(file, target))
            return false;
    }
    return true;
}

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

QStringList UnprivilegedUser::copiesOf(const QString &program)
{
    QStringList copies;
    if (!program.startsWith(helperFolder() + QLatin1Char('/')))
        return copies;
    for (const QString &folder : std::as_const(userProgramFolders()))
        copies << folder + program.mid(helperFolder().size());
    return copies;
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
    userProgramFolders() << m_root.filePath(QStringLiteral("bin"));
}

UnprivilegedUser::~UnprivilegedUser()
{
    userProgramFolders().removeAll(m_root.filePath(QStringLiteral("bin")));
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

QString UnprivilegedUser::reachable(const QString &program) const
{
    const QString helpers = helperFolder();
    if (QFileInfo(program).path() != helpers)
        return program;
    const QString bin = m_root.filePath(QStringLiteral("bin"));
    for (const QString &entry : kBesideThePrograms) {
        if (!mirror(helpers + QLatin1Char('/') + entry, bin + QLatin1Char('/') + entry))
            qWarning("cannot give the user a copy of %s", qPrintable(entry));
    }
    const QString copy = bin + QLatin1Char('/') + QFileInfo(program).fileName();
    if (!mirror(program, copy))
        qWarning("cannot give the user a copy of %s", qPrintable(program));
    return copy;
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
                                                  QStringLiteral("KILL"), QStringLiteral("--"), reachable(program)}
                                          + arguments);
}
