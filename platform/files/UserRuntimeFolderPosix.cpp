#include "platform/files/UserRuntimeFolder.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Norvane::Platform {

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A folder of this user's alone: not a link, owned by the effective user, no access for group
// or others. A folder of the user's own that is open to others is closed rather than refused.
bool isPrivateFolder(const QString &path, bool mayClose, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    const int descriptor = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0) {
        const int code = errno;
        const QString reason = systemError();
        struct stat link {};
        if (::lstat(name.constData(), &link) == 0 && S_ISLNK(link.st_mode))
            *error = QStringLiteral("%1 is a link, not a folder").arg(path);
        else if (code == ENOTDIR)
            *error = QStringLiteral("%1 is not a folder").arg(path);
        else
            *error = QStringLiteral("%1: %2").arg(path, reason);
        return false;
    }
    struct stat status {};
    bool usable = ::fstat(descriptor, &status) == 0;
    if (!usable) {
        *error = QStringLiteral("%1: %2").arg(path, systemError());
    } else if (status.st_uid != ::geteuid()) {
        *error = QStringLiteral("%1 belongs to another user (uid %2)").arg(path).arg(status.st_uid);
        usable = false;
    } else if ((status.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        usable = mayClose && ::fchmod(descriptor, S_IRWXU) == 0;
        if (!usable)
            *error = QStringLiteral("%1 is open to other users (mode %2)")
                         .arg(path)
                         .arg(status.st_mode & 07777, 4, 8, QLatin1Char('0'));
    }
    ::close(descriptor);
    return usable;
}

} // namespace

QString userRuntimeFolder(QString *error)
{
    // The session's own folder, made by the login manager; left alone when it is not private.
    const QString session = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QString ignored;
    if (QDir::isAbsolutePath(session) && isPrivateFolder(session, false, &ignored))
        return QDir::cleanPath(session);

    const QString folder = QDir(QDir::tempPath()).filePath(QStringLiteral("norvane-%1").arg(::geteuid()));
    if (::mkdir(QFile::encodeName(folder).constData(), S_IRWXU) != 0 && errno != EEXIST) {
        *error = QStringLiteral("cannot create %1: %2").arg(folder, systemError());
        return {};
    }
    if (!isPrivateFolder(folder, true, error))
        return {};
    return folder;
}

} // namespace Norvane::Platform
