#include "platform/process/PlatformCommand.h"

#include <QCoreApplication>
#include <QDir>

namespace Norvane::Platform {

// The stand-ins live in "platform-commands" beside the program; NORVANE_PLATFORM_COMMANDS_DIR
// points elsewhere.
QString commandProgram(const QString &name)
{
    QString folder = qEnvironmentVariable("NORVANE_PLATFORM_COMMANDS_DIR");
    if (folder.isEmpty())
        folder = QCoreApplication::applicationDirPath() + QStringLiteral("/platform-commands");
    return QDir(folder).filePath(name);
}

} // namespace Norvane::Platform
