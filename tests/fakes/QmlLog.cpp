#include "fakes/QmlLog.h"

#include <cstdio>

namespace {

QStringList captured;
QtMessageHandler passOn = nullptr;
bool passing = false;

void capture(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    // Once the test log has stopped, its handler hands messages back to the one it replaced,
    // which may be this one: then the message is written out here instead of going round.
    if (passing) {
        fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
        return;
    }
    captured.append(message);
    if (!passOn)
        return;
    passing = true;
    passOn(type, context, message);
    passing = false;
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
