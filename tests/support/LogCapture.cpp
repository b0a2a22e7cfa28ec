#include "support/LogCapture.h"

namespace {

QStringList &captured()
{
    static QStringList messages;
    return messages;
}

// When each captured message came, in the same order.
QList<std::chrono::steady_clock::time_point> &capturedTimes()
{
    static QList<std::chrono::steady_clock::time_point> times;
    return times;
}

QtMessageHandler &previousHandler()
{
    static QtMessageHandler handler = nullptr;
    return handler;
}

void capture(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    capturedTimes().append(std::chrono::steady_clock::now());
    captured().append(message);
    if (previousHandler())
        previousHandler()(type, context, message);
}

} // namespace

LogCapture::LogCapture()
{
    captured().clear();
    capturedTimes().clear();
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

std::optional<std::chrono::steady_clock::time_point> LogCapture::firstTimeOf(const QString &text) const
{
    const qsizetype at = captured().indexOf(text);
    if (at < 0)
        return std::nullopt;
    return capturedTimes().at(at);
}

void LogCapture::clear()
{
    captured().clear();
    capturedTimes().clear();
}
