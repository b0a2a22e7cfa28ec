#include "support/SignalWait.h"

#include <QDeadlineTimer>
#include <QSignalSpy>

bool waitForEmissions(QSignalSpy &spy, int count, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    // The spy's own wait wakes at the emission itself, without a polling interval.
    while (spy.count() < count) {
        if (deadline.hasExpired() || !spy.wait(int(qMax<qint64>(1, deadline.remainingTime()))))
            return spy.count() >= count;
    }
    return true;
}
