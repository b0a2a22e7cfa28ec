#pragma once

#include <QtGlobal>

namespace Norvane::Api::Vpn {

// The process id of the proxy core the client runs, kept in the settings file from the core's
// start to its end (and written at once), so that a start-up after a crash can tell the core
// of an earlier run from any other process of the same name.
class ProxyCoreRecord
{
public:
    // 0 when no core is recorded.
    static qint64 processId();
    static void remember(qint64 processId);
    static void forget();
};

} // namespace Norvane::Api::Vpn
