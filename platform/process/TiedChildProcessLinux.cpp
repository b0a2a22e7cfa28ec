#include "process/TiedChildProcess.h"

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace Norvane::Platform {

void startTiedChild(QProcess &process, const QString &program, const QStringList &arguments,
                    QIODevice::OpenMode mode)
{
    const pid_t parent = ::getpid();
    // Runs in the child between fork and exec, so only async-signal-safe calls. The signal
    // stays armed across exec.
    process.setChildProcessModifier([parent]() {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        // The parent may have died before the signal was armed.
        if (::getppid() != parent)
            ::_exit(127);
    });
    process.start(program, arguments, mode);
}

} // namespace Norvane::Platform
