#pragma once

#include <QObject>
#include <QStringList>

// The Qt message channel as QML tests read it (published as "Log"): every message since the
// last clear, console output of the documents included. The test runner puts its own message
// handler in place for each test file, so clear() hooks the capture in again in front of it.
class QmlLog : public QObject
{
    Q_OBJECT

public:
    explicit QmlLog(QObject *parent = nullptr);

    Q_INVOKABLE QStringList messages() const;
    // Messages that contain the text.
    Q_INVOKABLE int count(const QString &text) const;
    Q_INVOKABLE void clear();
};
