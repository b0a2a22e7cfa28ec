#include "platform/process/TiedChildProcess.h"

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace Norvane::Platform {

void startTiedChild(QProcess &process, const QString &program, const QStringList &arguments,
                    QIODevice::OpenMode mode)
{
    const pid_t parent = ::getpid();
    // Runs in the child between fork and exec, so only async-signal-safe calls. The signal
    // stays armed across exec, except an exec that gains privileges (a setuid program, a file
    // capability such as Debian's v2ray has) for a user who is not root: such a program needs
    // a watcher of its own, as the proxy core has. It follows the thread that forks, not the process: a child
    // started from a thread that ends early would be killed with it, so tied children are
    // started from the main thread.
    process.setChildProcessModifier([parent]() {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        // The parent may have died before the signal was armed.
        if (::getppid() != parent)
            ::_exit(127);
    });
    process.start(program, arguments, mode);
}

} // namespace Norvane::Platform
