#pragma once

#include "api/models/HeartbeatResponse.h"
#include "api/models/HeartbeatStats.h"

#include <QJsonObject>
#include <QObject>
#include <QString>

#include <functional>

class QTimer;

namespace Norvane::Api::Network {
struct ApiResponse;
}

namespace Norvane::Api::Services {

// The body of one heartbeat. The server id goes to the log only; the back end never gets it.
struct HeartbeatRequest
{
    QString deviceId;
    int serverId = 0;
    QString connectionStatus;
    qint64 uploadBytes = 0;
    qint64 downloadBytes = 0;
    int latencyMs = 0;

    QJsonObject toJson() const;
};

// Reports the running connection to the back end and carries its orders back: a forced
// disconnect, the user's standing and a new heartbeat interval.
class HeartbeatService : public QObject
{
    Q_OBJECT

public:
    using HeartbeatCallback = std::function<void(bool success, const Models::HeartbeatResponse &response)>;
    using StatsCallback = std::function<void(bool success, const Models::HeartbeatStats &stats)>;

    static constexpr int kDefaultIntervalMs = 30000;

    static HeartbeatService *instance();
    ~HeartbeatService() override;

    void sendHeartbeat(int serverId, const QString &connectionStatus, qint64 uploadBytes,
                       qint64 downloadBytes, int latencyMs, HeartbeatCallback callback = {});
    void getStats(StatsCallback callback = {});

    // intervalSec of 0 or less selects the default interval.
    void startAutoHeartbeat(int serverId, int intervalSec);
    void stopAutoHeartbeat();
    void updateTraffic(qint64 uploadBytes, qint64 downloadBytes);
    void updateLatency(int latencyMs);

    bool isAutoHeartbeatRunning() const;
    int heartbeatIntervalMs() const;
    int defaultIntervalMs() const { return m_defaultIntervalMs; }
    // Tests shorten the default interval; values of 0 or less are refused.
    void setDefaultIntervalMs(int milliseconds);

signals:
    void heartbeatSuccess(const Norvane::Api::Models::HeartbeatResponse &response);
    void heartbeatFailed(const QString &message);
    void forceDisconnectRequired(const QString &message);
    void userStatusUpdated(bool isVip, double trialHoursRemaining);

private:
    HeartbeatService();

    void onHeartbeatReply(const Network::ApiResponse &reply, const QString &sentToken,
                          const HeartbeatCallback &callback);
    void handleHeartbeatResponse(const Models::HeartbeatResponse &response);
    void applyReplyInterval(int seconds);
    void sendStoredBeat(const QString &connectionStatus);
    void resetStoredFields();

    QTimer *m_timer;
    int m_defaultIntervalMs = kDefaultIntervalMs;
    int m_serverId = 0;
    QString m_connectionStatus;
    qint64 m_uploadBytes = 0;
    qint64 m_downloadBytes = 0;
    int m_latencyMs = 0;
};

} // namespace Norvane::Api::Services
