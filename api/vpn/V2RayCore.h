#pragma once

#include "api/vpn/VmessConfig.h"

#include <QObject>
#include <QProcess>
#include <QString>

class QTimer;

namespace Norvane::Api::Vpn {

// Runs the proxy core as a child process fed with its configuration document, declares the
// connection up a while after the process started, relays the core's output and synthesises
// the connection's traffic totals.
class V2RayCore : public QObject
{
    Q_OBJECT

public:
    static constexpr int kStatsIntervalMs = 2000;
    static constexpr int kConnectDelayMs = 2000;
    static constexpr int kVersionProbeTimeoutMs = 3000;
    static constexpr int kStartTimeoutMs = 5000;
    static constexpr int kKillTimeoutMs = 2000;
    static constexpr int kTaskkillTimeoutMs = 10000;
    static constexpr int kAfterTaskkillTimeoutMs = 500;
    static constexpr int kTasklistTimeoutMs = 500;

    explicit V2RayCore(QObject *parent = nullptr);
    ~V2RayCore() override;

    bool start(const VmessConfig &config);
    void stop();
    static QString generateConfig(const VmessConfig &config);
    // The one file every start writes: the user's own temporary folder + "/norvane_config.json";
    // empty, with a logged reason, when there is no such folder.
    static QString configFilePath();
    // The local proxy the core serves, "socks://127.0.0.1:10315".
    static QString localProxyUrl();

    // For start-up after a crash: ends the recorded core of an earlier run when it is still
    // listed as the core; true when none is left running.
    static bool endLeftoverCore();
    // For start-up after a crash: removes the configuration file an earlier run left behind.
    static void removeLeftoverConfigFile();

    QString resourcePath() const { return m_resourcePath; }
    void setResourcePath(const QString &path);
    // Tests shorten the timers; values of 0 or less are refused.
    int statsInterval() const;
    void setStatsInterval(int milliseconds);
    int connectDelay() const { return m_connectDelayMs; }
    void setConnectDelay(int milliseconds);

signals:
    void connected();
    void disconnected();
    void error(const QString &error);
    void trafficUpdate(qlonglong upload, qlonglong download);
    void logOutput(const QString &log);

private slots:
    void onXRayStarted();
    void onXRayFinished(int exitCode, QProcess::ExitStatus exitStatus);
    void onXRayError(QProcess::ProcessError processError);
    void onXRayStdout();
    void onXRayStderr();
    void updateTrafficStats();

private:
    QString executablePath() const;
    bool writeConfigFile(const QString &text);
    void logStartDiagnostics() const;
    void probeVersion(const QString &executable) const;
    void logStartFailure(const QString &message) const;
    void onConnectDelayElapsed();
    void endProcess();
    void removeConfigFile();
    static bool isCoreListed(qint64 processId);
    static void runTaskkill(qint64 processId);

    QProcess *m_process;
    QTimer *m_statsTimer;
    QTimer *m_connectTimer;
    QString m_resourcePath;
    QString m_configPath;
    qint64 m_uploadBytes = 0;
    qint64 m_downloadBytes = 0;
    bool m_running = false;
    VmessConfig m_config;
    int m_connectDelayMs = kConnectDelayMs;
};

} // namespace Norvane::Api::Vpn
