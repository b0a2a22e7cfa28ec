#include "common/StandInRunner.h"

#include "common/CallLog.h"
#include "common/FaultInjection.h"

#include <QCoreApplication>

#include <unistd.h>

namespace Norvane::Platform::Commands {

int StandInRunner::run(int argc, char *argv[], const QString &program, const Handler &handler)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(1);
    QTextStream out(stdout);
    QTextStream err(stderr);

    QString error;
    if (!CallLog::append(program, arguments, &error)) {
        err << "ERROR: " << error << "\n";
        return kFailed;
    }

    FaultInjection::Decision decision;
    if (!FaultInjection::decide(program, arguments, &decision, &error)) {
        err << "ERROR: " << error << "\n";
        return kFailed;
    }
    if (decision.kind == FaultInjection::Kind::Hang) {
        out.flush();
        err.flush();
        for (;;)
            pause();
    }
    if (decision.kind == FaultInjection::Kind::Fail) {
        err << decision.text << "\n";
        return decision.exitCode;
    }

    return handler(arguments, out, err);
}

} // namespace Norvane::Platform::Commands
