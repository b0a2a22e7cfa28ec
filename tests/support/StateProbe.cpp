#include "support/StateProbe.h"

#include "platform/process/TiedChildProcess.h"
#include "support/TestEnvironment.h"

#include <QJsonDocument>
#include <QProcess>

int StateProbe::run(const QStringList &arguments, QByteArray *output, QByteArray *errors)
{
    QProcess process;
    process.setProcessEnvironment(TestEnvironment::childEnvironment());
    Norvane::Platform::startTiedChild(process, TestEnvironment::helperPath("norvane_state_probe"), arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    if (output)
        *output = process.readAllStandardOutput();
    if (errors)
        *errors = process.readAllStandardError();
    return process.exitCode();
}

QJsonObject StateProbe::dump()
{
    QByteArray output;
    if (run({"dump"}, &output) != 0)
        return {};
    return QJsonDocument::fromJson(output.trimmed()).object();
}

QString StateProbe::settingsPath()
{
    return TestEnvironment::home() + "/.qttest/share/norvane_state_probe/norvane_settings.ini";
}
