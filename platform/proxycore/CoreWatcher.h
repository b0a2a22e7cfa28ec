#pragma once

#include <QString>

namespace Norvane::Platform {

// Ends the core when the program that started it ends. The core is tied to the client by a
// parent-death signal, but v2ray carries a file capability, and for a user who is not root
// the exec that gains it clears that signal. So before the core becomes v2ray it starts this
// watcher: the same program again, under the name "norvane-core-watch", a child of the core
// holding process descriptors of the client and of the core. When the client ends it kills
// the core; when the core ends it ends too.
class CoreWatcher
{
public:
    static const char kName[];

    // Called by the core before it becomes v2ray. False, with `error` set, when no watcher
    // runs; the client may then already have ended.
    static bool start(QString *error);
    // The watcher's own program: argv[1] and argv[2] are the two descriptors.
    static int run(int argc, char *argv[]);
};

} // namespace Norvane::Platform
