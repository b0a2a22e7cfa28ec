#include "platform/process/PlatformCommandResult.h"

#include "platform/process/PlatformCommand.h"

#include <QDebug>
#include <QProcess>

namespace Norvane::Platform {

PlatformCommandResult PlatformCommandResult::run(const QString &name, const QStringList &arguments, int timeoutMs)
{
    QProcess process;
    process.start(commandProgram(name), arguments, QIODevice::ReadWrite);
    return waitFor(process, timeoutMs);
}

PlatformCommandResult PlatformCommandResult::waitFor(QProcess &process, int timeoutMs)
{
    PlatformCommandResult result;
    result.finished = process.waitForFinished(timeoutMs);
    result.standardOutput = process.readAllStandardOutput();
    result.standardError = process.readAllStandardError();
    result.errorText = process.errorString();
    if (!result.finished) {
        // A command that hangs must not outlive the call.
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
        return result;
    }
    result.exitCode = process.exitCode();
    result.succeeded = process.exitStatus() == QProcess::NormalExit && result.exitCode == 0;
    return result;
}

bool PlatformCommandResult::runLogged(const char *tag, const QString &name, const QStringList &arguments,
                                      int timeoutMs)
{
    const PlatformCommandResult result = run(name, arguments, timeoutMs);
    if (!result.finished) {
        qWarning() << tag << "命令执行超时:" << name;
        return false;
    }
    if (!result.succeeded) {
        qWarning() << tag << "命令执行失败, 退出码:" << result.exitCode;
        qWarning() << tag << "错误输出:" << QString::fromLocal8Bit(result.standardError);
        return false;
    }
    return true;
}

} // namespace Norvane::Platform
