#include "support/ClientProgram.h"

#include "platform/process/TiedChildProcess.h"
#include "support/RefusedBaseUrl.h"
#include "support/TestEnvironment.h"
#include "support/UnprivilegedUser.h"

#include <QTest>

QProcessEnvironment ClientProgram::environment(const QString &dataHome, const QString &tempFolder)
{
    QProcessEnvironment environment = TestEnvironment::childEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    environment.insert(QStringLiteral("TMPDIR"), tempFolder);
    environment.insert(QStringLiteral("NORVANE_API_BASE_URL"), refusedBaseUrl());
    return environment;
}

void ClientProgram::start(QProcess &program, const QString &name, const QString &dataHome,
                          const QString &tempFolder, const QStringList &arguments)
{
    program.setProcessEnvironment(environment(dataHome, tempFolder));
    program.setProcessChannelMode(QProcess::MergedChannels);
    Norvane::Platform::startTiedChild(program, TestEnvironment::helperPath(name), arguments);
}

void ClientProgram::startAs(const UnprivilegedUser &user, QProcess &program, const QString &name,
                            const QStringList &arguments)
{
    program.setProcessEnvironment(environment(user.dataHome(), user.sharedTemp()));
    program.setProcessChannelMode(QProcess::MergedChannels);
    user.start(program, TestEnvironment::helperPath(name), arguments);
}

QString ClientProgram::waitForLine(QProcess &program, const QString &line)
{
    QString output;
    static_cast<void>(QTest::qWaitFor(
        [&]() {
            output += QString::fromUtf8(program.readAll());
            return output.contains(line) || program.state() == QProcess::NotRunning;
        },
        20000));
    return output + QString::fromUtf8(program.readAll());
}
