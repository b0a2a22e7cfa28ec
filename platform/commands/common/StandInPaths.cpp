#include "common/StandInPaths.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace Norvane::Platform::Commands {

QString StandInPaths::statePath()
{
    const QString path = qEnvironmentVariable("NORVANE_PLATFORM_STATE");
    if (!path.isEmpty())
        return path;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/norvane-platform/state.json");
}

QString StandInPaths::logPath()
{
    const QString path = qEnvironmentVariable("NORVANE_PLATFORM_LOG");
    if (!path.isEmpty())
        return path;
    return QFileInfo(statePath()).absolutePath() + QStringLiteral("/calls.jsonl");
}

} // namespace Norvane::Platform::Commands
