#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>

namespace Norvane::Platform::Commands {

// The frame every stand-in runs in: the call is logged, an injected failure or hang is obeyed,
// and only then does the command itself run.
class StandInRunner
{
public:
    // The exit code of a refused call, as the Windows commands use it.
    static constexpr int kFailed = 1;

    using Handler =
        std::function<int(const QStringList &arguments, QTextStream &out, QTextStream &err)>;

    static int run(int argc, char *argv[], const QString &program, const Handler &handler);
};

} // namespace Norvane::Platform::Commands
