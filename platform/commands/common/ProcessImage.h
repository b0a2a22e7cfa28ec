#pragma once

#include <QString>
#include <QtGlobal>

namespace Norvane::Platform::Commands {

// What tasklist and taskkill see of a process. A Windows process list knows images by their
// file names; here that is the file name of the process's argv[0].
class ProcessImage
{
public:
    // The image name of a live process; empty when there is none or it has ended (a zombie).
    static QString name(qint64 pid);
    // Resident memory in KiB, 0 when unknown.
    static qint64 residentKilobytes(qint64 pid);
    // The proxy core and the tunnel program are the only processes the engine may end.
    static bool isEngineProgram(const QString &imageName);
};

} // namespace Norvane::Platform::Commands
