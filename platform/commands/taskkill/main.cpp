// Stand-in for Windows' taskkill, for the one use the engine makes:
//   taskkill /F /PID <pid>
// Only the engine's own programs may be ended (see ProcessImage); they get SIGKILL.
#include "common/ProcessImage.h"
#include "common/StandInRunner.h"

#include <QRegularExpression>

#include <cerrno>
#include <csignal>
#include <cstring>

using namespace Norvane::Platform::Commands;

namespace {

constexpr int kNotFound = 128;

int taskkill(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    bool force = false;
    bool pidGiven = false;
    QString pidText;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString option = arguments[i].toUpper();
        if (option == QStringLiteral("/F") && !force) {
            force = true;
        } else if (option == QStringLiteral("/PID") && !pidGiven && i + 1 < arguments.size()) {
            pidGiven = true;
            pidText = arguments[++i];
        } else {
            err << "ERROR: Invalid argument/option - '" << arguments[i]
                << "'.\nType \"TASKKILL /?\" for usage: taskkill /F /PID <pid>.\n";
            return StandInRunner::kFailed;
        }
    }
    static const QRegularExpression number(QStringLiteral("^\\d{1,9}$"));
    if (!number.match(pidText).hasMatch() || pidText.toLongLong() <= 0) {
        err << "ERROR: Invalid syntax. Give the process id with /PID <pid>.\n";
        return StandInRunner::kFailed;
    }

    const qint64 pid = pidText.toLongLong();
    const QString image = ProcessImage::name(pid);
    if (image.isEmpty()) {
        err << "ERROR: The process \"" << pid << "\" not found.\n";
        return kNotFound;
    }
    if (!ProcessImage::isEngineProgram(image)) {
        err << "ERROR: The process with PID " << pid << " could not be terminated.\nReason: Access is denied.\n";
        return StandInRunner::kFailed;
    }
    if (!force) {
        err << "ERROR: The process with PID " << pid << " could not be terminated.\n"
            << "Reason: This process can only be terminated forcefully (with /F option).\n";
        return StandInRunner::kFailed;
    }
    if (::kill(pid_t(pid), SIGKILL) != 0) {
        err << "ERROR: The process with PID " << pid << " could not be terminated.\nReason: "
            << std::strerror(errno) << ".\n";
        return StandInRunner::kFailed;
    }
    out << "SUCCESS: The process with PID " << pid << " has been terminated.\n";
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    return StandInRunner::run(argc, argv, QStringLiteral("taskkill"), taskkill);
}
