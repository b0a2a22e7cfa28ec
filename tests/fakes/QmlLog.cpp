#include "fakes/QmlLog.h"

QmlLog::QmlLog(QObject *parent)
    : QObject(parent)
{
}

QStringList QmlLog::messages()
{
    m_capture.moveToFront();
    return m_capture.messages();
}

int QmlLog::count(const QString &text)
{
    m_capture.moveToFront();
    return m_capture.count(text);
}

void QmlLog::clear()
{
    m_capture.moveToFront();
    m_capture.clear();
}
