#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// Records every message of the Qt message channel while it lives.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();

    QStringList messages() const;
    bool contains(const QString &text) const;
    int count(const QString &text) const;
    void clear();

private:
    QtMessageHandler m_previous;
};
