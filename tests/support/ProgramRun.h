#pragma once

#include <QProcess>
#include <QString>

// One run of a program a test starts, with everything it printed so far.
struct ProgramRun
{
    QProcess process;
    QString output;

    // True once the line has been printed; false when the program ended or the time ran out
    // before.
    bool waitFor(const QString &line, int timeoutMs = 20000);
    bool waitForEnd(int timeoutMs = 10000);
};
