#pragma once

// Waits until `counter` reaches `count`, then a little longer: a callback that runs
// a second time is a fault, and this gives it a moment to show.
bool waitForExactCount(const int &counter, int count);
