#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

class QTimer;

namespace Norvane::Api::Models {
struct User;
}

namespace Norvane::Api::Vpn {
class V2RayCore;
class Tun2SocksManager;
}

namespace Norvane::Api::Services {

// Connects the user to one server and disconnects again: checks the right to connect from its
// own copy of the user's standing, runs the proxy core and points the system proxy at it, runs
// the heartbeat while connected, obeys the back end's orders and keeps the connection's figures.
class VpnConnectionService : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isConnected READ isConnected NOTIFY connectionStateChanged)
    Q_PROPERTY(bool isConnecting READ isConnecting NOTIFY connectionStateChanged)
    Q_PROPERTY(QString connectionStateText READ connectionStateText NOTIFY connectionStateChanged)
    Q_PROPERTY(int connectionDuration READ connectionDuration NOTIFY connectionDurationChanged)
    Q_PROPERTY(QString connectionDurationText READ connectionDurationText NOTIFY connectionDurationChanged)
    Q_PROPERTY(qlonglong uploadBytes READ uploadBytes NOTIFY trafficStatsChanged)
    Q_PROPERTY(qlonglong downloadBytes READ downloadBytes NOTIFY trafficStatsChanged)
    Q_PROPERTY(QString uploadSpeed READ uploadSpeed NOTIFY trafficStatsChanged)
    Q_PROPERTY(QString downloadSpeed READ downloadSpeed NOTIFY trafficStatsChanged)
    Q_PROPERTY(int latency READ latency NOTIFY latencyChanged)

public:
    enum VpnConnectionState { Disconnected = 0, Connecting = 1, Connected = 2, Disconnecting = 3 };

    enum ConnectionFailureReason {
        NoError = 0,
        NotLoggedIn = 1,
        NoServerSelected = 2,
        VipRequired = 3,
        TrialExpired = 4,
        VipExpired = 5,
        VipAndTrialExpired = 6,
        AccountSuspended = 7,
        AccountBanned = 8,
        ForcedOffline = 9,
        NetworkFailure = 10,
        ServerFailure = 11
    };

    enum ConnectionMode { SystemProxyMode = 0, TunMode = 1 };
    enum RoutingMode { SmartRouting = 0, GlobalRouting = 1 };

    static constexpr int kDurationTickMs = 1000;
    static constexpr int kTunnelStartPauseSeconds = 3;

    static VpnConnectionService *instance();
    ~VpnConnectionService() override;

    Q_INVOKABLE void setRoutingMode(int mode);
    Q_INVOKABLE bool connect(int serverId, const QString &vmessLink);
    Q_INVOKABLE void disconnect();
    Q_INVOKABLE ConnectionFailureReason checkConnectionPermission(int serverId, bool requiresVip);
    Q_INVOKABLE QString getFailureReasonText(ConnectionFailureReason reason) const;
    Q_INVOKABLE void updateTrafficStats(qlonglong uploadBytes, qlonglong downloadBytes);
    Q_INVOKABLE void updateLatency(int latencyMs);

    void updateUserInfo(const Models::User &user);
    void onUserLogout();

    VpnConnectionState state() const { return m_state; }
    bool isConnected() const { return m_state == Connected; }
    bool isConnecting() const { return m_state == Connecting; }
    QString connectionStateText() const;
    int connectionDuration() const { return m_connectionDuration; }
    QString connectionDurationText() const { return formatDuration(m_connectionDuration); }
    qlonglong uploadBytes() const { return m_uploadBytes; }
    qlonglong downloadBytes() const { return m_downloadBytes; }
    QString uploadSpeed() const { return speedText(m_uploadBytes - m_previousUploadBytes); }
    QString downloadSpeed() const { return speedText(m_downloadBytes - m_previousDownloadBytes); }
    int latency() const { return m_latency; }
    int serverId() const { return m_serverId; }
    QString vmessLink() const { return m_vmessLink; }
    int routingMode() const { return m_routingMode; }

    // "全局模式" for any mode but SmartRouting, which is "智能模式".
    static QString routingModeName(int mode);
    static QString formatDuration(int seconds);
    static QString formatSpeed(qint64 bytes, int seconds);

    // The proxy-core runner, created on first use (normally the first connect) and kept; tests
    // reach it to point it at a stand-in and to shorten its waits.
    Vpn::V2RayCore *proxyCore();
    int durationTickInterval() const;
    // Tests shorten the duration tick; values of 0 or less are refused.
    void setDurationTickInterval(int milliseconds);

signals:
    void connectionStateChanged(Norvane::Api::Services::VpnConnectionService::VpnConnectionState state);
    void connectionSuccess();
    void connectionFailed(Norvane::Api::Services::VpnConnectionService::ConnectionFailureReason reason,
                          const QString &message);
    void disconnected();
    void connectionDurationChanged(int seconds);
    void trafficStatsChanged();
    void latencyChanged();
    void forceDisconnected(const QString &message);
    void permissionDenied(Norvane::Api::Services::VpnConnectionService::ConnectionFailureReason reason,
                          const QString &message);

private:
    VpnConnectionService();

    void startConnection(int serverId, const QString &vmessLink);
    void runConnectFlow(const QString &vmessLink);
    void startLocalProxy();
    void failConnection(ConnectionFailureReason reason);
    void runDisconnectSteps();
    void stopRunners();
    void endLeftoverRunners();
    void setState(VpnConnectionState state);
    void resetFigures();
    QString speedText(qint64 difference) const;

    void onCoreConnected();
    void onRunnerError(const char *warning, const QString &text);
    void onCoreEnded();
    void onRunnerLog(const QString &text);
    void onForceDisconnect(const QString &message);
    void onUserStatusUpdated(bool isVip, double trialHoursRemaining);
    void onDurationTick();

    Vpn::Tun2SocksManager *tunnel();

    VpnConnectionState m_state = Disconnected;
    int m_connectionMode = SystemProxyMode;
    int m_routingMode = GlobalRouting;
    int m_serverId = 0;
    QString m_vmessLink;

    bool m_userInfoKnown = false;
    bool m_isVip = false;
    bool m_trialUsed = false;
    double m_trialHoursRemaining = 0.0;
    QString m_userStatus;
    QDateTime m_vipExpiresAt;

    Vpn::V2RayCore *m_core = nullptr;
    Vpn::Tun2SocksManager *m_tunnel = nullptr;
    // Set once this attempt's core has started; a "connected" without it belongs to an
    // earlier attempt.
    bool m_awaitingCore = false;
    // The core, proxy and heartbeat of the last attempt may still run: a failure report
    // stops none of them.
    bool m_runnersUp = false;
    // The runners report their own end while being stopped; that is not a failure.
    bool m_stoppingRunners = false;
    // A forced end is told once per connection: the back end answers the farewell beat with
    // the same order while it keeps it set. Cleared by the next connection and by a logout.
    bool m_forcedEndReported = false;

    QTimer *m_durationTimer;
    QDateTime m_connectedAt;
    int m_connectionDuration = 0;
    qint64 m_uploadBytes = 0;
    qint64 m_downloadBytes = 0;
    qint64 m_previousUploadBytes = 0;
    qint64 m_previousDownloadBytes = 0;
    QDateTime m_lastTrafficUpdate;
    int m_latency = 0;
};

} // namespace Norvane::Api::Services
