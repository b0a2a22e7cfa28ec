#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QProcess;

namespace Norvane::Platform {

// One run of a short-lived child process, waited for: a platform command (reg, netsh, setx,
// tasklist, taskkill) or a quick run of another program. One that does not end in time is killed.
struct PlatformCommandResult
{
    bool finished = false;   // ended within the time-out; a process that did not is killed
    bool succeeded = false;  // normal exit with code 0
    int exitCode = -1;
    QByteArray standardOutput;  // also what a killed process wrote before it was killed
    QByteArray standardError;
    QString errorText;  // the process's own error text, which says why it did not finish

    // Runs the platform command of that name (see commandProgram).
    static PlatformCommandResult run(const QString &name, const QStringList &arguments, int timeoutMs);
    // Waits for a process the caller has started.
    static PlatformCommandResult waitFor(QProcess &process, int timeoutMs);
    // Runs the platform command; true when it succeeded. Otherwise logs, after the caller's tag,
    // the time-out with the command's name, or the exit code and the error output.
    static bool runLogged(const char *tag, const QString &name, const QStringList &arguments, int timeoutMs);
};

} // namespace Norvane::Platform
