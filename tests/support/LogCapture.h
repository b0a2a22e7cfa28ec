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
    // Puts the capture in front again when a handler installed later has covered it (the Quick
    // Test log takes the channel when its first test case starts); the covering handler still
    // gets every message.
    void moveToFront();

private:
    QtMessageHandler m_previous;
};
