#include "support/StandInMachine.h"

#include "platform/process/PlatformCommand.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

const QString StandInMachine::kInternetSettings =
    QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings");

QJsonObject StandInMachine::dword(int data)
{
    return {{QStringLiteral("type"), QStringLiteral("REG_DWORD")}, {QStringLiteral("data"), data}};
}

QJsonObject StandInMachine::text(const QString &data)
{
    return {{QStringLiteral("type"), QStringLiteral("REG_SZ")}, {QStringLiteral("data"), data}};
}

StandInMachine::StandInMachine()
{
    qputenv("NORVANE_PLATFORM_STATE", statePath().toLocal8Bit());
    qputenv("NORVANE_PLATFORM_LOG", logPath().toLocal8Bit());
}

StandInMachine::~StandInMachine()
{
    qunsetenv("NORVANE_PLATFORM_STATE");
    qunsetenv("NORVANE_PLATFORM_LOG");
}

QString StandInMachine::folder() const
{
    return m_dir.path();
}

QString StandInMachine::statePath() const
{
    return m_dir.filePath(QStringLiteral("state.json"));
}

QString StandInMachine::logPath() const
{
    return m_dir.filePath(QStringLiteral("calls.jsonl"));
}

StandInMachine::Result StandInMachine::run(const QString &program, const QStringList &arguments,
                                           const QProcessEnvironment &extra) const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(extra);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(Norvane::Platform::commandProgram(program), arguments);
    Result result;
    result.finished = process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit;
    result.exitCode = process.exitCode();
    result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    result.err = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

bool StandInMachine::setProxyEnable(int enable) const
{
    const Result result = run(QStringLiteral("reg"), {"add", kInternetSettings, "/v", "ProxyEnable", "/t", "REG_DWORD",
                                                      "/d", QString::number(enable), "/f"});
    return result.finished && result.exitCode == 0;
}

bool StandInMachine::setProxyServer(const QString &server) const
{
    const Result result =
        run(QStringLiteral("reg"), {"add", kInternetSettings, "/v", "ProxyServer", "/t", "REG_SZ", "/d", server, "/f"});
    return result.finished && result.exitCode == 0;
}

bool StandInMachine::setVariable(const QString &name, const QString &value) const
{
    const Result result = run(QStringLiteral("setx"), {name, value});
    return result.finished && result.exitCode == 0;
}

QByteArray StandInMachine::stateBytes() const
{
    QFile file(statePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QJsonObject StandInMachine::state() const
{
    return QJsonDocument::fromJson(stateBytes()).object();
}

QJsonObject StandInMachine::internetSetting(const QString &name) const
{
    return state().value("registry").toObject().value(kInternetSettings).toObject().value(name).toObject();
}

QList<QJsonObject> StandInMachine::calls() const
{
    QList<QJsonObject> entries;
    QFile file(logPath());
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.isEmpty())
            entries.append(QJsonDocument::fromJson(line).object());
    }
    return entries;
}

QStringList StandInMachine::commandLines() const
{
    QStringList lines;
    for (const QJsonObject &call : calls()) {
        QStringList words{call.value("program").toString()};
        for (const QJsonValue &argument : call.value("arguments").toArray())
            words.append(argument.toString());
        lines.append(words.join(QLatin1Char(' ')));
    }
    return lines;
}
