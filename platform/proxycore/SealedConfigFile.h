#pragma once

#include <QByteArray>
#include <QString>

namespace Norvane::Platform {

// A configuration that exists only as an open descriptor: written to a file readable by its
// user alone, which is unlinked at once, so nothing stays behind however the process ends.
// The descriptor survives exec, and the new program reads it as "/proc/self/fd/<n>".
class SealedConfigFile
{
public:
    // Returns the descriptor, or -1 with `error` set.
    static int create(const QByteArray &content, QString *error);
    static QString procPath(int descriptor);
};

} // namespace Norvane::Platform
