// The proxy core the client ships, stood in for by Debian's v2ray: "run -c FILE" translates the
// client's document for v2ray and then becomes v2ray (same process, argv[0] kept), so the
// process the client holds is the one serving the local port and killing it ends everything.
// A watcher of its own (the same program as "norvane-core-watch") ends it when the program
// that started it ends.
//   xray.exe version
//   xray.exe run -c FILE [--disable-color]
// NORVANE_V2RAY names another v2ray binary than /usr/bin/v2ray.
#include "proxycore/CoreWatcher.h"
#include "proxycore/SealedConfigFile.h"
#include "proxycore/V2RayConfigTranslator.h"

#include <QFile>
#include <QJsonDocument>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

using Norvane::Platform::CoreWatcher;
using Norvane::Platform::SealedConfigFile;
using Norvane::Platform::V2RayConfigTranslator;
using Norvane::Platform::V2RayTranslation;

namespace {

const char kUsage[] = "usage: xray.exe version | xray.exe run -c FILE [--disable-color]\n";

void printLine(std::FILE *stream, const QString &text)
{
    std::fputs((text + QLatin1Char('\n')).toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// Printed with "ERROR" so that the client, which passes on only such lines of the core's
// standard error, logs them.
int fail(const QString &problem)
{
    printLine(stderr, QStringLiteral("ERROR: ") + problem);
    return 1;
}

QString v2rayPath()
{
    const QString chosen = qEnvironmentVariable("NORVANE_V2RAY");
    return chosen.isEmpty() ? QStringLiteral("/usr/bin/v2ray") : chosen;
}

bool isRunRequest(const QStringList &args)
{
    return (args.size() == 3 || (args.size() == 4 && args[3] == QLatin1String("--disable-color")))
        && args[0] == QLatin1String("run") && args[1] == QLatin1String("-c") && !args[2].isEmpty();
}

int run(const char *self, const QString &configPath)
{
    QByteArray document;
    {
        QFile file(configPath);
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read the configuration %1: %2").arg(configPath, file.errorString()));
        document = file.readAll();
    }
    const V2RayTranslation translation = V2RayConfigTranslator::translate(document);
    if (!translation.error.isEmpty())
        return fail(QStringLiteral("%1: %2").arg(configPath, translation.error));
    for (const QString &note : translation.notes)
        printLine(stderr, QStringLiteral("note: ") + note);

    const QByteArray v2ray = v2rayPath().toLocal8Bit();
    if (::access(v2ray.constData(), X_OK) != 0)
        return fail(QStringLiteral("v2ray not found or not executable at %1 (install the v2ray package, "
                                   "or name the binary in NORVANE_V2RAY): %2")
                        .arg(v2rayPath(), QString::fromLocal8Bit(std::strerror(errno))));
    QString error;
    if (!CoreWatcher::start(&error))
        return fail(error);
    const int descriptor = SealedConfigFile::create(QJsonDocument(translation.config).toJson(), &error);
    if (descriptor < 0)
        return fail(error);

    // v2ray 4.34 takes only -config FILE; given nothing it would read standard input.
    const QByteArray configArgument = SealedConfigFile::procPath(descriptor).toLocal8Bit();
    const char *argv[] = {self, "-config", configArgument.constData(), nullptr};
    ::execv(v2ray.constData(), const_cast<char *const *>(argv));
    const QString reason = QString::fromLocal8Bit(std::strerror(errno));
    ::close(descriptor);
    return fail(QStringLiteral("cannot start v2ray at %1: %2").arg(v2rayPath(), reason));
}

} // namespace

int main(int argc, char *argv[])
{
    if (std::strcmp(argv[0], CoreWatcher::kName) == 0)
        return CoreWatcher::run(argc, argv);
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));

    if (args == QStringList{QStringLiteral("version")}) {
        printLine(stdout, QStringLiteral("Norvane proxy core 1.0.0 (stand-in serving through v2ray at %1)")
                              .arg(v2rayPath()));
        return 0;
    }
    if (isRunRequest(args))
        return run(argv[0], args[2]);
    printLine(stderr, QStringLiteral("ERROR: unexpected arguments: %1").arg(args.join(QLatin1Char(' '))));
    std::fputs(kUsage, stderr);
    return 2;
}
