#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace Norvane::Api::Vpn {

// One run of a platform command (reg, netsh, setx, ...) as a child process, waited for.
struct PlatformCommandResult
{
    bool finished = false;   // ended within the time-out; a command that did not is killed
    bool succeeded = false;  // normal exit with code 0
    int exitCode = -1;
    QByteArray standardOutput;
    QByteArray standardError;

    static PlatformCommandResult run(const QString &program, const QStringList &arguments, int timeoutMs);
};

} // namespace Norvane::Api::Vpn
