#include "platform/files/PrivateFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Norvane::Platform {

bool createPrivateFile(QFile &file, QIODevice::OpenMode mode, QString *error)
{
    const QByteArray path = QFile::encodeName(file.fileName());
    int descriptor = -1;
    do {
        // Close-on-exec: the proxy core started next must not inherit the descriptor.
        descriptor = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (!file.open(descriptor, mode | QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        *error = file.errorString();
        ::close(descriptor);
        return false;
    }
    return true;
}

} // namespace Norvane::Platform
