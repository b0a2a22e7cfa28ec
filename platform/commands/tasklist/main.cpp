// Stand-in for Windows' tasklist, for the one query the engine makes:
//   tasklist /FI "PID eq <pid>"
// It sees only the engine's own programs (see ProcessImage); every other process is as if absent.
#include "common/ProcessImage.h"
#include "common/StandInRunner.h"

#include <QLocale>
#include <QRegularExpression>

using namespace Norvane::Platform::Commands;

namespace {

int tasklist(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    if (arguments.size() != 2 || arguments[0].compare(QStringLiteral("/FI"), Qt::CaseInsensitive) != 0) {
        err << "ERROR: Invalid argument/option - '" << arguments.join(QLatin1Char(' '))
            << "'.\nType \"TASKLIST /?\" for usage: tasklist /FI \"PID eq <pid>\".\n";
        return StandInRunner::kFailed;
    }
    static const QRegularExpression filter(QStringLiteral("^\\s*PID\\s+eq\\s+(\\d{1,9})\\s*$"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = filter.match(arguments[1]);
    if (!match.hasMatch()) {
        err << "ERROR: The search filter cannot be recognized.\n";
        return StandInRunner::kFailed;
    }

    const qint64 pid = match.captured(1).toLongLong();
    const QString image = ProcessImage::name(pid);
    if (!ProcessImage::isEngineProgram(image)) {
        out << "INFO: No tasks are running which match the specified criteria.\n";
        return 0;
    }
    const QString memory = QLocale::c().toString(ProcessImage::residentKilobytes(pid)) + QStringLiteral(" K");
    out << "\n"
        << "Image Name                     PID Session Name        Session#    Mem Usage\n"
        << "========================= ======== ================ =========== ============\n"
        << image.leftJustified(25) << " " << QString::number(pid).rightJustified(8) << " "
        << QStringLiteral("Console").leftJustified(16) << " " << QStringLiteral("1").rightJustified(11) << " "
        << memory.rightJustified(12) << "\n";
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    return StandInRunner::run(argc, argv, QStringLiteral("tasklist"), tasklist);
}
