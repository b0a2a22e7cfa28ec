#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

// Runs the state probe helper as a child process sharing the test's private home folder.
class StateProbe
{
public:
    // Returns the exit code; -1 when the helper did not start or finish.
    static int run(const QStringList &arguments, QByteArray *output = nullptr, QByteArray *errors = nullptr);
    static QJsonObject dump();
    static QString settingsPath();
};
