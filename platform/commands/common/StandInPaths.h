#pragma once

#include <QString>

namespace Norvane::Platform::Commands {

// Where the stand-ins keep the emulated machine state and the record of their calls.
class StandInPaths
{
public:
    // NORVANE_PLATFORM_STATE, else the user's data folder + "/norvane-platform/state.json".
    static QString statePath();
    // NORVANE_PLATFORM_LOG, else "calls.jsonl" beside the state file.
    static QString logPath();
};

} // namespace Norvane::Platform::Commands
