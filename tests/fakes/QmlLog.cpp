#include "fakes/QmlLog.h"

QmlLog::QmlLog(QObject *parent)
    : QObject(parent)
{
}

QStringList QmlLog::messages() const
{
    return m_capture.messages();
}

int QmlLog::count(const QString &text) const
{
    return m_capture.count(text);
}

void QmlLog::clear()
{
    m_capture.clear();
}
