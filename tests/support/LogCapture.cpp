#include "support/LogCapture.h"

#include <cstdio>

namespace {

QStringList &captured()
{
    static QStringList messages;
    return messages;
}

QtMessageHandler &previousHandler()
{
    static QtMessageHandler handler = nullptr;
    return handler;
}

void capture(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    // A handler behind the capture that passes messages back to the one it replaced (the capture
    // itself, once it has been moved in front of it) would bring the message round again.
    static thread_local bool forwarding = false;
    if (forwarding) {
        fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
        return;
    }
    captured().append(message);
    if (previousHandler()) {
        forwarding = true;
        previousHandler()(type, context, message);
        forwarding = false;
    }
}

} // namespace

LogCapture::LogCapture()
{
    captured().clear();
    m_previous = qInstallMessageHandler(capture);
    previousHandler() = m_previous;
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_previous);
    previousHandler() = nullptr;
}

QStringList LogCapture::messages() const
{
    return captured();
}

bool LogCapture::contains(const QString &text) const
{
    return count(text) > 0;
}

int LogCapture::count(const QString &text) const
{
    int n = 0;
    for (const QString &message : captured())
        n += message.contains(text) ? 1 : 0;
    return n;
}

void LogCapture::clear()
{
    captured().clear();
}

void LogCapture::moveToFront()
{
    const QtMessageHandler current = qInstallMessageHandler(capture);
    if (current != capture)
        previousHandler() = current;
}
