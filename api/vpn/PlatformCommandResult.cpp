#include "api/vpn/PlatformCommandResult.h"

#include "platform/process/PlatformCommand.h"

#include <QProcess>

namespace Norvane::Api::Vpn {

PlatformCommandResult PlatformCommandResult::run(const QString &program, const QStringList &arguments,
                                                 int timeoutMs)
{
    QProcess process;
    process.start(Platform::commandProgram(program), arguments, QIODevice::ReadWrite);
    PlatformCommandResult result;
    result.finished = process.waitForFinished(timeoutMs);
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
    result.standardOutput = process.readAllStandardOutput();
    result.standardError = process.readAllStandardError();
    return result;
}

} // namespace Norvane::Api::Vpn
