// The tunnel program the client ships, stood in for: it checks its command line as the client
// gives it, says that it runs, and runs until SIGTERM or SIGINT ends it (exit 0). It creates no
// adapter and forwards nothing.
#include "proxycore/TunnelArguments.h"

#include <QStringList>

#include <csignal>
#include <cstdio>

using Norvane::Platform::TunnelArguments;

namespace {

void printLine(std::FILE *stream, const QString &text)
{
    std::fputs((text + QLatin1Char('\n')).toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    const TunnelArguments tunnel = TunnelArguments::parse(args);
    if (!tunnel.isValid()) {
        printLine(stderr, QStringLiteral("ERROR: %1").arg(tunnel.error()));
        printLine(stderr, QStringLiteral("usage: tun2socks.exe -device NAME -proxy socks5://HOST:PORT -interface NAME"));
        return 2;
    }

    // Blocked before the start line, so an end asked for right after it is not lost.
    sigset_t endSignals;
    sigemptyset(&endSignals);
    sigaddset(&endSignals, SIGTERM);
    sigaddset(&endSignals, SIGINT);
    sigprocmask(SIG_BLOCK, &endSignals, nullptr);

    printLine(stdout, QStringLiteral("tun2socks started: device %1, proxy %2, interface %3")
                          .arg(tunnel.device(), tunnel.proxy(), tunnel.interfaceName()));
    int received = 0;
    sigwait(&endSignals, &received);
    printLine(stdout, QStringLiteral("tun2socks stopped by %1").arg(received == SIGTERM ? "SIGTERM" : "SIGINT"));
    return 0;
}
