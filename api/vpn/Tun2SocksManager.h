#pragma once

#include "api/vpn/NetworkInterfaceFacts.h"

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace Norvane::Api::Vpn {

// Routes the machine's IPv4 traffic into the local proxy through the tunnel program's virtual
// adapter: runs the program, gives the adapter its address, DNS server and routes, and takes
// all of it back on stop.
class Tun2SocksManager : public QObject
{
    Q_OBJECT

public:
    static constexpr int kStartPauseMs = 2000;
    static constexpr int kStartTimeoutMs = 5000;
    static constexpr int kCommandTimeoutMs = 10000;
    static constexpr int kTerminateTimeoutMs = 3000;
    static constexpr int kKillTimeoutMs = 1000;

    explicit Tun2SocksManager(QObject *parent = nullptr);
    ~Tun2SocksManager() override;

    bool start(const QString &proxyUrl);
    void stop();

    QStringList routes() const { return m_routes; }
    QString resourcePath() const { return m_resourcePath; }
    void setResourcePath(const QString &path);
    // Tests shorten the pause that lets the program create its adapter.
    int startPause() const { return m_startPauseMs; }
    void setStartPause(int milliseconds);
    void setInterfaceLister(NetworkInterfaceLister lister);

signals:
    void started();
    void stopped();
    void error(const QString &error);
    void logOutput(const QString &log);

private slots:
    void onTun2SocksStarted();
    void onTun2SocksFinished(int exitCode, QProcess::ExitStatus exitStatus);
    void onTun2SocksError(QProcess::ProcessError processError);
    void onTun2SocksStdout();
    void onTun2SocksStderr();

private:
    bool startProcess(const QString &proxyUrl);
    void stopProcess();
    QString detectInterface() const;
    bool configureAddress();
    bool configureDns();
    bool addRoutes();
    void removeRoutes();
    void restoreDhcp();
    void undoNetworkSettings();
    bool failStart(const QString &message);
    bool runCommand(const QString &program, const QStringList &arguments);

    QProcess *m_process;
    QString m_resourcePath;
    bool m_running = false;
    // Set once the first adapter command ran, so that every way out takes the settings back.
    bool m_networkTouched = false;
    QStringList m_routes;
    int m_startPauseMs = kStartPauseMs;
    NetworkInterfaceLister m_interfaceLister;
};

} // namespace Norvane::Api::Vpn
