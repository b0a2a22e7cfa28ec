#include "common/ProcessImage.h"

#include <QFile>
#include <QRegularExpression>

namespace Norvane::Platform::Commands {

namespace {

QByteArray readProcFile(qint64 pid, const char *name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace

QString ProcessImage::name(qint64 pid)
{
    if (pid <= 0)
        return {};
    // A zombie has an empty command line.
    const QByteArray commandLine = readProcFile(pid, "cmdline");
    const QString argv0 = QString::fromLocal8Bit(commandLine.left(commandLine.indexOf('\0')));
    return argv0.mid(argv0.lastIndexOf(QLatin1Char('/')) + 1);
}

qint64 ProcessImage::residentKilobytes(qint64 pid)
{
    static const QRegularExpression rss(QStringLiteral("^VmRSS:\\s+(\\d+)\\s+kB$"),
                                        QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = rss.match(QString::fromLatin1(readProcFile(pid, "status")));
    return match.hasMatch() ? match.captured(1).toLongLong() : 0;
}

bool ProcessImage::isEngineProgram(const QString &imageName)
{
    return imageName == QStringLiteral("xray.exe") || imageName == QStringLiteral("tun2socks.exe");
}

} // namespace Norvane::Platform::Commands
