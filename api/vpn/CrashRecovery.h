#pragma once

namespace Norvane::Api::Vpn {

// Puts right at start-up what a client that died while connected left behind: its proxy core,
// when that outlived it; the core's configuration file, which holds the user's id; and the
// system proxy pointing at the dead core.
class CrashRecovery
{
public:
    static void run();
};

} // namespace Norvane::Api::Vpn
