#pragma once

#include <QtGlobal>

// Ports on 127.0.0.1 as tests need them: a free one to hand a server, and the moment one is served.
class LocalPort
{
public:
    static quint16 pickFree();
    static bool isFree(quint16 port);
    // Keeps trying to connect; the event loop runs in between.
    static bool waitUntilServed(quint16 port, int timeoutMs);
};
