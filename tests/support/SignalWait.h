#pragma once

class QSignalSpy;

// Waits until `spy` holds at least `count` emissions, counting those that came before the call:
// an action that runs the event loop (a click, a blocking wait on a process) may already have
// delivered the signal, which QSignalSpy::wait alone would miss.
bool waitForEmissions(QSignalSpy &spy, int count = 1, int timeoutMs = 5000);
