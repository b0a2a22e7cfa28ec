#include "support/WaitForCount.h"

#include <QTest>

bool waitForExactCount(const int &counter, int count)
{
    if (!QTest::qWaitFor([&] { return counter >= count; }, 5000))
        return false;
    QTest::qWait(20);
    return counter == count;
}
