#pragma once

#include <QFile>
#include <QString>

namespace Norvane::Platform {

// Creates the file named by `file` anew and opens `file` on it with `mode` (write access is
// added). The creation fails when anything stands at the path, a link included, which is never
// followed; the new file is readable and writable by its user alone, from its first moment.
// Here that is open(2) with O_CREAT | O_EXCL | O_NOFOLLOW and mode 0600; a Windows build
// creates it with CREATE_NEW and a security descriptor that admits only the user.
// On failure `file` stays closed and *error says why.
bool createPrivateFile(QFile &file, QIODevice::OpenMode mode, QString *error);

} // namespace Norvane::Platform
