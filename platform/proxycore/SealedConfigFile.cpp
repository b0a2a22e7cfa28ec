#include "proxycore/SealedConfigFile.h"

#include <QDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace Norvane::Platform {

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool writeAll(int descriptor, const QByteArray &content)
{
    qsizetype written = 0;
    while (written < content.size()) {
        const ssize_t step = ::write(descriptor, content.constData() + written, size_t(content.size() - written));
        if (step < 0 && errno == EINTR)
            continue;
        if (step <= 0)
            return false;
        written += step;
    }
    return true;
}

} // namespace

int SealedConfigFile::create(const QByteArray &content, QString *error)
{
    QByteArray path = QDir(QDir::tempPath()).filePath(QStringLiteral("norvane-v2ray-XXXXXX")).toLocal8Bit();
    const int descriptor = ::mkstemp(path.data()); // mode 0600, and no close-on-exec
    if (descriptor < 0) {
        *error = QStringLiteral("cannot create the translated configuration in %1: %2")
                     .arg(QDir::tempPath(), systemError());
        return -1;
    }
    ::unlink(path.constData());
    if (!writeAll(descriptor, content)) {
        *error = QStringLiteral("cannot write the translated configuration: %1").arg(systemError());
        ::close(descriptor);
        return -1;
    }
    return descriptor;
}

QString SealedConfigFile::procPath(int descriptor)
{
    return QStringLiteral("/proc/self/fd/%1").arg(descriptor);
}

} // namespace Norvane::Platform
