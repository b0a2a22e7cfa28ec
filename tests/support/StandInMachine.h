#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A private emulated Windows machine for the platform's command stand-ins: a state file and a
// call log of its own in a temporary folder. While it lives, this process and the children it
// starts use them (NORVANE_PLATFORM_STATE, NORVANE_PLATFORM_LOG).
class StandInMachine
{
public:
    struct Result
    {
        bool finished = false;
        int exitCode = -1;
        QString out;
        QString err;
    };

    static const QString kInternetSettings;
    // Registry values as the state holds them.
    static QJsonObject dword(int data);
    static QJsonObject text(const QString &data);

    StandInMachine();
    ~StandInMachine();

    QString folder() const;
    QString statePath() const;
    QString logPath() const;

    // Runs a stand-in ("reg", "netsh", ...) with the given variables added to the environment.
    Result run(const QString &program, const QStringList &arguments,
               const QProcessEnvironment &extra = QProcessEnvironment()) const;

    // The user's own settings, made as the user makes them: reg add under Internet Settings,
    // setx for a variable. True when the command succeeded.
    bool setProxyEnable(int enable) const;
    bool setProxyServer(const QString &server) const;
    bool setVariable(const QString &name, const QString &value) const;

    QByteArray stateBytes() const;
    QJsonObject state() const;
    // A value under Internet Settings, as the state holds it; empty when absent.
    QJsonObject internetSetting(const QString &name) const;
    // One "program argument argument ..." text per logged call, in order.
    QStringList commandLines() const;
    QList<QJsonObject> calls() const;

private:
    QTemporaryDir m_dir;
};
