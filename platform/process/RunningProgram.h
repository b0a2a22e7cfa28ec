#pragma once

#include <QtGlobal>

namespace Norvane::Platform {

// What runs under a process id, as far as this process may see it. A Windows build answers
// from the process's image path (QueryFullProcessImageNameW) and its token's user.

// True while process `pid` exists (one of another user's included).
bool isProcessRunning(qint64 pid);

// True when process `pid` runs the same program file as this process. A process this one may
// not look into (another user's) is not this program.
bool isThisProgram(qint64 pid);

// True when a process other than this one, of the same real user, runs the same program file.
bool anotherProcessOfThisUserRunsThisProgram();

} // namespace Norvane::Platform
