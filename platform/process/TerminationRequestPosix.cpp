#include "platform/process/TerminationRequest.h"

#include <QDebug>
#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace Norvane::Platform {

namespace {

// A signal handler may do next to nothing: it writes the signal's number into a pipe, whose
// other end the event loop reads.
int g_pipe[2] = {-1, -1};

void writeSignal(int number)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    // Non-blocking: a full pipe already holds requests enough.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

QString signalName(int number)
{
    switch (number) {
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGHUP:
        return QStringLiteral("SIGHUP");
    default:
        return QStringLiteral("signal %1").arg(number);
    }
}

} // namespace

void onTerminationRequest(QObject *context, std::function<void(const QString &request)> handler)
{
    if (::pipe2(g_pipe, O_NONBLOCK | O_CLOEXEC) != 0) {
        qWarning() << "[TerminationRequest] 无法创建信号管道:" << qt_error_string(errno);
        return;
    }
    auto *notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [handler = std::move(handler)]() {
        std::array<unsigned char, 16> numbers{};
        ssize_t count = 0;
        while ((count = ::read(g_pipe[0], numbers.data(), numbers.size())) > 0) {
            for (ssize_t i = 0; i < count; ++i)
                handler(signalName(numbers[size_t(i)]));
        }
    });

    struct sigaction action = {};
    action.sa_handler = writeSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        if (::sigaction(number, &action, nullptr) != 0)
            qWarning() << "[TerminationRequest] 无法接管信号:" << signalName(number) << qt_error_string(errno);
    }
}

} // namespace Norvane::Platform
