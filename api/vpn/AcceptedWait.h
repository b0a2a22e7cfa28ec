#pragma once

namespace Norvane::Api::Vpn {

// Tests shorten the engine's and the services' timers through setters. A wait of 0 or less is
// refused: false, and the warning `refusal`, whose %1 is the value. Also for the services,
// which sit above this folder.
bool acceptedWait(int milliseconds, const char *refusal);

} // namespace Norvane::Api::Vpn
