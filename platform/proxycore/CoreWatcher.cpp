#include "proxycore/CoreWatcher.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace Norvane::Platform {

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

int openProcess(pid_t pid)
{
    return int(::syscall(SYS_pidfd_open, pid, 0));
}

bool keepAcrossExec(int descriptor)
{
    const int flags = ::fcntl(descriptor, F_GETFD);
    return flags >= 0 && ::fcntl(descriptor, F_SETFD, flags & ~FD_CLOEXEC) == 0;
}

// In the forked child: nothing of the core's reaches the watcher but the two descriptors, so
// it holds neither the client's output pipes nor the configuration.
[[noreturn]] void becomeWatcher(int client, int core)
{
    const int nothing = ::open("/dev/null", O_RDWR);
    if (nothing < 0 || ::dup2(nothing, 0) < 0 || ::dup2(nothing, 1) < 0 || ::dup2(nothing, 2) < 0)
        ::_exit(127);
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
    if (!keepAcrossExec(client) || !keepAcrossExec(core))
        ::_exit(127);
    char clientText[16];
    char coreText[16];
    std::snprintf(clientText, sizeof clientText, "%d", client);
    std::snprintf(coreText, sizeof coreText, "%d", core);
    char *const argv[] = {const_cast<char *>(CoreWatcher::kName), clientText, coreText, nullptr};
    ::execv("/proc/self/exe", argv);
    ::_exit(127);
}

} // namespace

const char CoreWatcher::kName[] = "norvane-core-watch";

bool CoreWatcher::start(QString *error)
{
    const pid_t parent = ::getppid();
    const int client = openProcess(parent);
    if (client < 0) {
        *error = QStringLiteral("cannot watch the program that started the core: %1").arg(systemError());
        return false;
    }
    // The client may have ended before it could be watched.
    if (::getppid() != parent) {
        *error = QStringLiteral("the program that started the core has ended");
        ::close(client);
        return false;
    }
    const int core = openProcess(::getpid());
    if (core < 0) {
        *error = QStringLiteral("cannot watch the core: %1").arg(systemError());
        ::close(client);
        return false;
    }
    const pid_t watcher = ::fork();
    if (watcher == 0)
        becomeWatcher(client, core);
    const int forkError = errno;
    ::close(client);
    ::close(core);
    if (watcher < 0) {
        *error = QStringLiteral("cannot start the core's watcher: %1").arg(QString::fromLocal8Bit(std::strerror(forkError)));
        return false;
    }
    return true;
}

int CoreWatcher::run(int argc, char *argv[])
{
    if (argc != 3)
        return 2;
    const int client = std::atoi(argv[1]);
    const int core = std::atoi(argv[2]);
    pollfd ends[] = {{client, POLLIN, 0}, {core, POLLIN, 0}};
    while (::poll(ends, 2, -1) < 0) {
        if (errno != EINTR)
            return 1;
    }
    // A process descriptor names the core for good, also once its id is free again.
    if (ends[0].revents != 0 && ends[1].revents == 0)
        ::syscall(SYS_pidfd_send_signal, core, SIGKILL, nullptr, 0);
    return 0;
}

} // namespace Norvane::Platform
