#pragma once

#include "support/LogCapture.h"

#include <QObject>
#include <QStringList>

#include <memory>

// The Qt message channel as QML tests read it (published as "Log"): every message since the
// last clear, console output of the documents included.
class QmlLog : public QObject
{
    Q_OBJECT

public:
    explicit QmlLog(QObject *parent = nullptr);

    Q_INVOKABLE QStringList messages() const;
    // Messages that contain the text.
    Q_INVOKABLE int count(const QString &text) const;
    Q_INVOKABLE void clear();

private:
    const LogCapture &capture() const;

    // The test library takes the channel over when its logging starts, which is only once the
    // first test runs; a capture made before that would never hear a message. So it is made at
    // the first use, in front of the test library's handler.
    mutable std::unique_ptr<LogCapture> m_capture;
};
