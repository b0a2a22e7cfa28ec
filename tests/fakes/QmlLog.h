#pragma once

#include "support/LogCapture.h"

#include <QObject>
#include <QStringList>

// The Qt message channel as QML tests read it (published as "Log"): every message since the
// last clear, console output of the documents included. The test log covers the capture when the
// first test case starts, so a test calls clear() before the messages it reads (each call puts
// the capture in front again).
class QmlLog : public QObject
{
    Q_OBJECT

public:
    explicit QmlLog(QObject *parent = nullptr);

    Q_INVOKABLE QStringList messages();
    // Messages that contain the text.
    Q_INVOKABLE int count(const QString &text);
    Q_INVOKABLE void clear();

private:
    LogCapture m_capture;
};
