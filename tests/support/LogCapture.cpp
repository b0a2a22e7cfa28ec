#include "support/LogCapture.h"

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
    captured().append(message);
    if (previousHandler())
        previousHandler()(type, context, message);
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
