#include "fakes/QmlLog.h"

QmlLog::QmlLog(QObject *parent)
    : QObject(parent)
{
}

const LogCapture &QmlLog::capture() const
{
    if (!m_capture)
        m_capture = std::make_unique<LogCapture>();
    return *m_capture;
}

QStringList QmlLog::messages() const
{
    return capture().messages();
}

int QmlLog::count(const QString &text) const
{
    return capture().count(text);
}

void QmlLog::clear()
{
    capture();
    m_capture->clear();
}
