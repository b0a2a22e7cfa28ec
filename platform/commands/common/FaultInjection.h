#pragma once

#include <QString>
#include <QStringList>

namespace Norvane::Platform::Commands {

// Failures and hangs that tests ask for through the environment, so every failure path of the
// caller can be driven with real processes. Each variable holds rules separated by ";":
//
//   NORVANE_PLATFORM_FAIL="<match>[|<exit code>[|<error text>]];..."
//   NORVANE_PLATFORM_HANG="<match>;..."
//
// A match is the program name followed by leading arguments, separated by blanks; "*" stands
// for any one argument and words compare without regard to case: "reg add" matches every
// reg add, "reg add * /v ProxyServer" only the writes of ProxyServer. A failing call exits with
// the code (default 1) after printing the text (default "ERROR: Injected failure (<match>).")
// on standard error; a hanging call sleeps until it is killed. Hang rules win over fail rules.
// Neither kind of call changes the emulated state. A text can hold neither ";" nor "|".
class FaultInjection
{
public:
    enum class Kind { None, Fail, Hang };

    struct Decision
    {
        Kind kind = Kind::None;
        int exitCode = 0;
        QString text;
    };

    // False with *error when one of the variables cannot be read.
    static bool decide(const QString &program, const QStringList &arguments, Decision *decision,
                       QString *error);
};

} // namespace Norvane::Platform::Commands
