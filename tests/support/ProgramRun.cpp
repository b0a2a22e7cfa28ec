#include "support/ProgramRun.h"

#include <QTest>

bool ProgramRun::waitFor(const QString &line, int timeoutMs)
{
    return QTest::qWaitFor(
               [&]() {
                   output += QString::fromUtf8(process.readAll());
                   return output.contains(line) || process.state() == QProcess::NotRunning;
               },
               timeoutMs)
        && output.contains(line);
}

bool ProgramRun::waitForEnd(int timeoutMs)
{
    const bool ended = QTest::qWaitFor([&]() { return process.state() == QProcess::NotRunning; }, timeoutMs);
    output += QString::fromUtf8(process.readAll());
    return ended;
}
