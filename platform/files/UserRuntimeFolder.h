#pragma once

#include <QString>

namespace Norvane::Platform {

// The folder for the client's short-lived files (the proxy core's configuration, the socket a
// later start reaches the running client by), which no other user can enter, replace or write.
// Here that is XDG_RUNTIME_DIR when it is a folder of this user's alone, otherwise
// "norvane-<uid>" in the temporary folder, made with mode 0700 and checked (a folder, not a
// link, owned by this user, closed to group and others) at every call, since the temporary
// folder is shared by all users. A Windows build returns the user's own temporary folder.
// An empty string, with *error saying why, when no such folder can be had.
QString userRuntimeFolder(QString *error);

} // namespace Norvane::Platform
