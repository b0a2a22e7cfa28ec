#pragma once

#include <QString>

namespace Norvane::Platform {

// The program to start for one of the Windows commands the engine runs ("reg", "netsh", "setx",
// "tasklist", "taskkill"). On Windows that is the bare name, found on the PATH; elsewhere it is
// the project's stand-in of that name.
QString commandProgram(const QString &name);

} // namespace Norvane::Platform
