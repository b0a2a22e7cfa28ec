#include "fakes/QmlLog.h"

namespace {

QStringList captured;
QtMessageHandler passOn = nullptr;

void capture(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    captured.append(message);
    if (passOn)
        passOn(type, context, message);
}

} // namespace

QmlLog::QmlLog(QObject *parent)
    : QObject(parent)
{
    clear();
}

QStringList QmlLog::messages() const
{
    return captured;
}

int QmlLog::count(const QString &text) const
{
    int n = 0;
    for (const QString &message : captured)
        n += message.contains(text) ? 1 : 0;
    return n;
}

void QmlLog::clear()
{
    captured.clear();
    const QtMessageHandler current = qInstallMessageHandler(capture);
    if (current != capture)
        passOn = current;
}
