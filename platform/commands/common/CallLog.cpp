#include "common/CallLog.h"

#include "common/StandInPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace Norvane::Platform::Commands {

bool CallLog::append(const QString &program, const QStringList &arguments, QString *error)
{
    const QString path = StandInPaths::logPath();
    QDir().mkpath(QFileInfo(path).absolutePath());

    const QJsonObject entry{
        {QStringLiteral("program"), program},
        {QStringLiteral("arguments"), QJsonArray::fromStringList(arguments)},
        {QStringLiteral("pid"), QCoreApplication::applicationPid()},
    };
    const QByteArray line = QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n';

    // One unbuffered append per line keeps lines of concurrent calls whole.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)
        || file.write(line) != line.size()) {
        *error = QStringLiteral("cannot write the call log %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace Norvane::Platform::Commands
