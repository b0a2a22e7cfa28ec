#pragma once

#include "api/vpn/NetworkInterfaceEntry.h"

#include <QList>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

namespace Norvane::Api::Vpn {

// The TUN mode: runs the tunnel program, which creates the "wintun" adapter and forwards what
// reaches it to the local proxy core, then gives the adapter its address and DNS server and
// routes all IPv4 traffic through it with netsh. Stopping takes all of that back.
class Tun2SocksManager : public QObject
{
    Q_OBJECT

public:
    using InterfaceLister = std::function<QList<NetworkInterfaceEntry>()>;

    static constexpr int kStartPauseMs = 2000;
    static constexpr int kStartTimeoutMs = 5000;
    static constexpr int kCommandTimeoutMs = 10000;
    static constexpr int kTerminateTimeoutMs = 3000;
    static constexpr int kKillTimeoutMs = 1000;

    explicit Tun2SocksManager(QObject *parent = nullptr);
    ~Tun2SocksManager() override;

    bool start(const QString &proxyUrl);
    void stop();

    QString resourcePath() const { return m_resourcePath; }
    void setResourcePath(const QString &path);
    void setInterfaceLister(InterfaceLister lister);
    // Tests shorten the waits; values of 0 or less are refused.
    int startPause() const { return m_startPauseMs; }
    void setStartPause(int milliseconds);
    int commandTimeout() const { return m_commandTimeoutMs; }
    void setCommandTimeout(int milliseconds);
    int terminateTimeout() const { return m_terminateTimeoutMs; }
    void setTerminateTimeout(int milliseconds);

signals:
    void started();
    void stopped();
    void error(const QString &error);
    void logOutput(const QString &log);

private slots:
    void onTun2SocksStarted();
    void onTun2SocksFinished(int exitCode, QProcess::ExitStatus exitStatus);
    void onTun2SocksError(QProcess::ProcessError error);
    void onTun2SocksStdout();
    void onTun2SocksStderr();

private:
    bool startProcess(const QString &proxyUrl);
    bool outlivesStartPause();
    void stopProcess();
    QString detectInterface() const;
    bool configureAddress();
    bool configureDns();
    bool addRoutes();
    void removeRoutes();
    void restoreDhcp();
    bool hasAdapterSettings() const;
    void clearAdapterSettings();
    void failStart(const QString &message);
    bool runCommand(const QString &program, const QStringList &arguments) const;

    QProcess *m_process;
    QString m_resourcePath;
    bool m_running = false;
    // While stopProcess waits for the program to end on its request.
    bool m_ending = false;
    QStringList m_routes;
    // What the adapter carries from a start, so that whatever ends the tunnel takes back exactly that.
    bool m_addressSet = false;
    bool m_dnsSet = false;
    QStringList m_addedRoutes;
    InterfaceLister m_interfaceLister;
    int m_startPauseMs = kStartPauseMs;
    int m_commandTimeoutMs = kCommandTimeoutMs;
    int m_terminateTimeoutMs = kTerminateTimeoutMs;
};

} // namespace Norvane::Api::Vpn
