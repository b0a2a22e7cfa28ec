#include "api/services/HeartbeatService.h"

#include "api/network/ApiResponse.h"
#include "api/network/HttpClient.h"
#include "api/security/TokenManager.h"
#include "api/vpn/AcceptedWait.h"

#include <QCoreApplication>
#include <QDebug>
#include <QPointer>
#include <QTimer>

#include <limits>

namespace Norvane::Api::Services {

using Models::HeartbeatResponse;
using Models::HeartbeatStats;
using Network::ApiResponse;
using Network::HttpClient;

namespace {

const QString kConnected = QStringLiteral("connected");
const QString kDisconnected = QStringLiteral("disconnected");
const QString kActive = QStringLiteral("active");
const QString kNoTokenMessage = QStringLiteral("Token为空，请先登录");
const QString kUnauthorizedMessage = QStringLiteral("您的账号在其他设备登录，已被强制下线");
const QString kInvalidReply = QStringLiteral("响应数据无效");

// The timer counts in int milliseconds; 0 when the seconds do not fit.
int millisecondsFor(int seconds)
{
    const qint64 milliseconds = qint64(seconds) * 1000;
    return milliseconds > std::numeric_limits<int>::max() ? 0 : int(milliseconds);
}

} // namespace

QJsonObject HeartbeatRequest::toJson() const
{
    QJsonObject json;
    json.insert(QStringLiteral("device_id"), deviceId);
    json.insert(QStringLiteral("connection_status"), connectionStatus);
    json.insert(QStringLiteral("upload_bytes"), QJsonValue(uploadBytes));
    json.insert(QStringLiteral("download_bytes"), QJsonValue(downloadBytes));
    json.insert(QStringLiteral("latency_ms"), latencyMs);
    return json;
}

HeartbeatService *HeartbeatService::instance()
{
    static HeartbeatService service;
    return &service;
}

HeartbeatService::HeartbeatService()
    : m_timer(new QTimer(this))
    , m_connectionStatus(kDisconnected)
{
    // The client must outlive the service, whose last beat may go through it.
    HttpClient::instance();

    connect(m_timer, &QTimer::timeout, this, [this]() { sendStoredBeat(m_connectionStatus); });

    // The last "disconnected" beat needs a running event loop, which is gone by the time
    // function-local statics are destroyed.
    if (QCoreApplication *application = QCoreApplication::instance())
        connect(application, &QCoreApplication::aboutToQuit, this, &HeartbeatService::stopAutoHeartbeat);
}

HeartbeatService::~HeartbeatService()
{
    if (QCoreApplication::instance())
        stopAutoHeartbeat();
}

void HeartbeatService::sendHeartbeat(int serverId, const QString &connectionStatus, qint64 uploadBytes,
                                     qint64 downloadBytes, int latencyMs, HeartbeatCallback callback)
{
    const QString token = HttpClient::instance()->authToken();
    if (token.isEmpty()) {
        qWarning() << "[HeartbeatService] 心跳发送失败: Token为空";
        if (callback)
            callback(false, HeartbeatResponse());
        emit heartbeatFailed(kNoTokenMessage);
        return;
    }
    qDebug() << "[HeartbeatService] 发送心跳, 服务器ID:" << serverId << ", 状态:" << connectionStatus
             << ", Token长度:" << token.length();

    HeartbeatRequest request;
    request.deviceId = Security::TokenManager::instance()->getDeviceId();
    request.serverId = serverId;
    request.connectionStatus = connectionStatus;
    request.uploadBytes = uploadBytes;
    request.downloadBytes = downloadBytes;
    request.latencyMs = latencyMs;

    QPointer<HeartbeatService> self(this);
    HttpClient::instance()->post(QStringLiteral("heartbeat"), request.toJson(),
                                 [self, token, callback = std::move(callback)](const ApiResponse &reply) {
                                     if (self)
                                         self->onHeartbeatReply(reply, token, callback);
                                 });
}

void HeartbeatService::onHeartbeatReply(const ApiResponse &reply, const QString &sentToken,
                                        const HeartbeatCallback &callback)
{
    // A beat sent under a token the client no longer holds (the farewell beat racing a logout,
    // or a new login) speaks for a session that has ended, so its orders are not followed.
    const bool sessionEnded = sentToken != HttpClient::instance()->authToken();

    // A 2xx that is not a JSON object (a captive portal, a proxy's error page) carries no device
    // status: it fails like any beat that got no answer, and orders nothing.
    if (reply.isSuccess() && reply.hasJsonObjectBody()) {
        const HeartbeatResponse response = HeartbeatResponse::fromJson(reply.json);
        qDebug() << "[HeartbeatService] 心跳发送成功";
        if (sessionEnded)
            qDebug() << "[HeartbeatService] 心跳发送时的Token已失效，忽略应答中的指令";
        else
            handleHeartbeatResponse(response);
        if (callback)
            callback(true, response);
        emit heartbeatSuccess(response);
        return;
    }

    if (reply.statusCode == 401) {
        if (sessionEnded) {
            qDebug() << "[HeartbeatService] 心跳发送时的Token已失效，忽略401应答";
        } else {
            qWarning() << "[HeartbeatService] 检测到401错误，用户可能在其他设备登录";
            stopAutoHeartbeat();
            emit forceDisconnectRequired(kUnauthorizedMessage);
        }
    }
    const QString message = reply.isSuccess() ? kInvalidReply : reply.errorMessage();
    if (callback)
        callback(false, HeartbeatResponse());
    emit heartbeatFailed(message);
    qWarning() << "[HeartbeatService] 心跳发送失败:" << message;
}

void HeartbeatService::handleHeartbeatResponse(const HeartbeatResponse &response)
{
    const HeartbeatResponse::DeviceStatus &device = response.deviceStatus;
    if (device.forceDisconnect || device.status != kActive) {
        qWarning() << "[HeartbeatService] 需要强制断开连接:" << device.message;
        emit forceDisconnectRequired(device.message);
    }
    emit userStatusUpdated(response.userStatus.isVip, response.userStatus.trialHoursRemaining);
    applyReplyInterval(response.interval);
}

void HeartbeatService::applyReplyInterval(int seconds)
{
    // The record cannot tell a reply without an interval from one carrying the default,
    // so the default never changes the timer.
    if (seconds == HeartbeatResponse::kDefaultIntervalSeconds)
        return;
    if (seconds <= 0) {
        qWarning() << "[HeartbeatService] 忽略无效的心跳间隔:" << seconds << "秒";
        return;
    }
    const int milliseconds = millisecondsFor(seconds);
    if (milliseconds == 0) {
        qWarning() << "[HeartbeatService] 心跳间隔过大，已忽略:" << seconds << "秒";
        return;
    }
    m_timer->setInterval(milliseconds);
    qDebug() << "[HeartbeatService] 更新心跳间隔为:" << seconds << "秒";
}

void HeartbeatService::getStats(StatsCallback callback)
{
    qDebug() << "[HeartbeatService] 获取统计数据";
    HttpClient::instance()->get(QStringLiteral("heartbeat/stats"),
                                [callback = std::move(callback)](const ApiResponse &reply) {
                                    if (!callback)
                                        return;
                                    if (reply.isSuccess())
                                        callback(true, HeartbeatStats::fromJson(reply.json));
                                    else
                                        callback(false, HeartbeatStats());
                                });
}

void HeartbeatService::startAutoHeartbeat(int serverId, int intervalSec)
{
    stopAutoHeartbeat();

    m_serverId = serverId;
    m_connectionStatus = kConnected;
    int milliseconds = intervalSec > 0 ? millisecondsFor(intervalSec) : m_defaultIntervalMs;
    if (milliseconds == 0) {
        qWarning() << "[HeartbeatService] 心跳间隔过大，使用默认间隔:" << intervalSec << "秒";
        milliseconds = m_defaultIntervalMs;
    }
    m_timer->setInterval(milliseconds);

    sendStoredBeat(kConnected);
    m_timer->start();
    qDebug() << "[HeartbeatService] 开始自动心跳, 服务器ID:" << m_serverId << ", 间隔:"
             << milliseconds / 1000.0 << "秒";
}

void HeartbeatService::stopAutoHeartbeat()
{
    if (m_timer->isActive()) {
        m_timer->stop();
        sendStoredBeat(kDisconnected);
        qDebug() << "[HeartbeatService] 停止自动心跳";
    }
    resetStoredFields();
}

void HeartbeatService::updateTraffic(qint64 uploadBytes, qint64 downloadBytes)
{
    m_uploadBytes = uploadBytes;
    m_downloadBytes = downloadBytes;
}

void HeartbeatService::updateLatency(int latencyMs)
{
    m_latencyMs = latencyMs;
}

bool HeartbeatService::isAutoHeartbeatRunning() const
{
    return m_timer->isActive();
}

int HeartbeatService::heartbeatIntervalMs() const
{
    return m_timer->interval();
}

void HeartbeatService::setDefaultIntervalMs(int milliseconds)
{
    if (Vpn::acceptedWait(milliseconds, "[HeartbeatService] 忽略无效的默认心跳间隔: %1 毫秒"))
        m_defaultIntervalMs = milliseconds;
}

void HeartbeatService::sendStoredBeat(const QString &connectionStatus)
{
    sendHeartbeat(m_serverId, connectionStatus, m_uploadBytes, m_downloadBytes, m_latencyMs);
}

void HeartbeatService::resetStoredFields()
{
    m_serverId = 0;
    m_connectionStatus = kDisconnected;
    m_uploadBytes = 0;
    m_downloadBytes = 0;
    m_latencyMs = 0;
}

} // namespace Norvane::Api::Services
