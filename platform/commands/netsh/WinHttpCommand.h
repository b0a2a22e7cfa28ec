#pragma once

#include <QStringList>
#include <QTextStream>

namespace Norvane::Platform::Commands {

// netsh winhttp set|reset|import|show proxy, on the WinHTTP proxy of the emulated state.
class WinHttpCommand
{
public:
    // `arguments` follow "winhttp".
    static int run(const QStringList &arguments, QTextStream &out, QTextStream &err);
};

} // namespace Norvane::Platform::Commands
