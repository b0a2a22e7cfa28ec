// Stand-in for Windows' setx: sets a user environment variable in the emulated state.
//   setx <name> <value>      (an empty value leaves the variable set to nothing)
#include "common/CaseInsensitiveName.h"
#include "common/EmulatedState.h"
#include "common/StandInRunner.h"

#include <QJsonObject>

using namespace Norvane::Platform::Commands;

namespace {

int setx(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    if (arguments.size() == 2 && arguments[0].startsWith(QLatin1Char('/'))) {
        err << "ERROR: The option " << arguments[0] << " is not supported.\n";
        return StandInRunner::kFailed;
    }
    if (arguments.size() != 2 || arguments[0].isEmpty() || arguments[0].contains(QLatin1Char('='))) {
        err << "ERROR: Invalid syntax.\nType \"SETX /?\" for usage: setx <name> <value>.\n";
        return StandInRunner::kFailed;
    }

    EmulatedState state;
    QString error;
    if (!state.open(&error)) {
        err << "ERROR: " << error << "\n";
        return StandInRunner::kFailed;
    }
    QJsonObject environment = state.object(EmulatedState::kEnvironment);
    environment.remove(CaseInsensitiveName::find(environment, arguments[0]));
    environment.insert(arguments[0], arguments[1]);
    state.set(EmulatedState::kEnvironment, environment);
    if (!state.commit(&error)) {
        err << "ERROR: " << error << "\n";
        return StandInRunner::kFailed;
    }
    out << "\nSUCCESS: Specified value was saved.\n";
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    return StandInRunner::run(argc, argv, QStringLiteral("setx"), setx);
}
