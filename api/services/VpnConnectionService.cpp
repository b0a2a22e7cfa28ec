#include "api/services/VpnConnectionService.h"

#include "api/models/User.h"
#include "api/security/CryptoUtil.h"
#include "api/security/TokenManager.h"
#include "api/services/HeartbeatService.h"
#include "api/storage/LocalStorage.h"
#include "api/vpn/AcceptedWait.h"
#include "api/vpn/SystemProxyManager.h"
#include "api/vpn/Tun2SocksManager.h"
#include "api/vpn/V2RayCore.h"
#include "api/vpn/VmessParser.h"

#include <QDebug>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace Norvane::Api::Services {

using Vpn::SystemProxyManager;

namespace {

const QString kActive = QStringLiteral("active");
constexpr double kTrialEndedBelowHours = -0.01;
constexpr double kTrialEndingWithinHours = 0.1;
constexpr qint64 kKiB = 1024;
constexpr qint64 kMiB = kKiB * 1024;
constexpr qint64 kGiB = kMiB * 1024;

} // namespace

VpnConnectionService *VpnConnectionService::instance()
{
    static VpnConnectionService service;
    return &service;
}

VpnConnectionService::VpnConnectionService()
    : m_userStatus(kActive)
    , m_durationTimer(new QTimer(this))
{
    // The settings store must outlive the service: the disconnect of its destructor puts the
    // user's proxy values back and records the core's end there.
    Storage::LocalStorage::instance();

    m_durationTimer->setInterval(kDurationTickMs);
    QObject::connect(m_durationTimer, &QTimer::timeout, this, &VpnConnectionService::onDurationTick);

    HeartbeatService *heartbeat = HeartbeatService::instance();
    QObject::connect(heartbeat, &HeartbeatService::forceDisconnectRequired, this,
                     &VpnConnectionService::onForceDisconnect);
    QObject::connect(heartbeat, &HeartbeatService::userStatusUpdated, this,
                     &VpnConnectionService::onUserStatusUpdated);

    qDebug() << "[VpnConnectionService] 初始化完成";
}

VpnConnectionService::~VpnConnectionService()
{
    disconnect();
}

void VpnConnectionService::setRoutingMode(int mode)
{
    qDebug() << "[VpnConnectionService] 设置路由模式:" << routingModeName(mode);
    m_routingMode = mode;
}

bool VpnConnectionService::connect(int serverId, const QString &vmessLink)
{
    qDebug() << "[VpnConnectionService] 尝试连接服务器:" << serverId;

    // Only a receiver of the disconnect signals can get here; a start now would be torn
    // down by the steps still running.
    if (m_state == Disconnecting) {
        qWarning() << "[VpnConnectionService] 正在断开连接，拒绝新的连接请求";
        return false;
    }
    if (m_state == Connected || m_state == Connecting) {
        qDebug() << "[VpnConnectionService] 当前已连接或正在连接，先断开";
        disconnect();
    } else {
        endLeftoverRunners();
    }

    const ConnectionFailureReason reason = checkConnectionPermission(serverId, false);
    if (reason != NoError) {
        const QString text = getFailureReasonText(reason);
        qWarning() << "[VpnConnectionService] 连接权限检查失败:" << text;
        emit connectionFailed(reason, text);
        emit permissionDenied(reason, text);
        return false;
    }
    startConnection(serverId, vmessLink);
    return true;
}

void VpnConnectionService::disconnect()
{
    // Only a receiver of the disconnect signals can get here; the running steps finish the job.
    if (m_state == Disconnecting) {
        qDebug() << "[VpnConnectionService] 正在断开中";
        return;
    }
    if (m_state == Disconnected) {
        qDebug() << "[VpnConnectionService] 已经是断开状态";
        endLeftoverRunners();
        return;
    }
    runDisconnectSteps();
}

VpnConnectionService::ConnectionFailureReason VpnConnectionService::checkConnectionPermission(int serverId,
                                                                                             bool requiresVip)
{
    if (!m_userInfoKnown)
        return NotLoggedIn;
    if (m_userStatus == QLatin1String("suspended"))
        return AccountSuspended;
    if (m_userStatus == QLatin1String("banned"))
        return AccountBanned;
    if (serverId <= 0)
        return NoServerSelected;

    const QDateTime now = QDateTime::currentDateTime();
    const bool vipExpired = m_vipExpiresAt.isValid() && m_vipExpiresAt < now;
    if (requiresVip) {
        if (!m_isVip)
            return VipRequired;
        if (vipExpired)
            return VipExpired;
    }
    const bool trialSpent = m_trialUsed && m_trialHoursRemaining <= 0;
    if (!m_isVip && trialSpent)
        return TrialExpired;
    if (vipExpired && trialSpent)
        return VipAndTrialExpired;
    return NoError;
}

QString VpnConnectionService::getFailureReasonText(ConnectionFailureReason reason) const
{
    switch (reason) {
    case NoError:
        return QString();
    case NotLoggedIn:
        return QStringLiteral("请先登录账号");
    case NoServerSelected:
        return QStringLiteral("请先选择服务器");
    case VipRequired:
        return QStringLiteral("此线路为VIP专线，请升级VIP后使用");
    case TrialExpired:
        return QStringLiteral("您的免费体验时长已用完，请升级VIP继续使用");
    case VipExpired:
        return QStringLiteral("您的VIP已过期，无法连接VIP专线");
    case VipAndTrialExpired:
        return QStringLiteral("您的VIP已过期且体验时长已用完，请续费VIP");
    case AccountSuspended:
        return QStringLiteral("您的账户已被暂停，请联系客服");
    case AccountBanned:
        return QStringLiteral("您的账户已被封禁，请联系客服");
    case ForcedOffline:
        return QStringLiteral("您的账号在其他设备登录，已被强制下线");
    case NetworkFailure:
        return QStringLiteral("网络连接失败，请检查网络设置");
    case ServerFailure:
        return QStringLiteral("服务器连接失败，请稍后重试");
    }
    return QStringLiteral("未知错误");
}

void VpnConnectionService::updateTrafficStats(qlonglong uploadBytes, qlonglong downloadBytes)
{
    m_previousUploadBytes = m_uploadBytes;
    m_previousDownloadBytes = m_downloadBytes;
    m_uploadBytes = uploadBytes;
    m_downloadBytes = downloadBytes;
    m_lastTrafficUpdate = QDateTime::currentDateTime();
    HeartbeatService::instance()->updateTraffic(uploadBytes, downloadBytes);
    emit trafficStatsChanged();
}

void VpnConnectionService::updateLatency(int latencyMs)
{
    m_latency = latencyMs;
    HeartbeatService::instance()->updateLatency(latencyMs);
    emit latencyChanged();
}

void VpnConnectionService::updateUserInfo(const Models::User &user)
{
    m_userInfoKnown = true;
    m_isVip = user.isVip;
    m_trialUsed = user.trialUsed;
    m_trialHoursRemaining = user.trialHoursRemaining;
    m_userStatus = user.status;
    m_vipExpiresAt = user.vipExpiresAt;
    qDebug() << "[VpnConnectionService] 用户信息已更新 - VIP:" << m_isVip << ", 体验时长:"
             << m_trialHoursRemaining << "小时";
}

void VpnConnectionService::onUserLogout()
{
    qDebug() << "[VpnConnectionService] 用户登出，断开连接";
    disconnect();
    m_forcedEndReported = false;
    m_userInfoKnown = false;
    m_isVip = false;
    m_trialUsed = false;
    m_trialHoursRemaining = 0.0;
    m_userStatus = kActive;
    m_vipExpiresAt = QDateTime();
}

QString VpnConnectionService::connectionStateText() const
{
    switch (m_state) {
    case Disconnected:
        return QStringLiteral("未连接");
    case Connecting:
        return QStringLiteral("连接中");
    case Connected:
        return QStringLiteral("已连接");
    case Disconnecting:
        return QStringLiteral("断开中");
    }
    return QStringLiteral("未知");
}

QString VpnConnectionService::routingModeName(int mode)
{
    return mode != SmartRouting ? QStringLiteral("全局模式") : QStringLiteral("智能模式");
}

QString VpnConnectionService::formatDuration(int seconds)
{
    const QLatin1Char zero('0');
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, zero)
        .arg(seconds % 3600 / 60, 2, 10, zero)
        .arg(seconds % 60, 2, 10, zero);
}

QString VpnConnectionService::formatSpeed(qint64 bytes, int seconds)
{
    const qint64 rate = qint64(double(bytes) / double(std::max(1, seconds)));
    QString text;
    if (rate >= kGiB)
        text = QString::number(double(rate) / kGiB, 'f', 2) + QStringLiteral(" GB");
    else if (rate >= kMiB)
        text = QString::number(double(rate) / kMiB, 'f', 2) + QStringLiteral(" MB");
    else if (rate < kKiB)
        text = QString::number(rate) + QStringLiteral(" B");
    else
        text = QString::number(double(rate) / kKiB, 'f', 2) + QStringLiteral(" KB");
    return text + QStringLiteral("/s");
}

Vpn::V2RayCore *VpnConnectionService::proxyCore()
{
    if (m_core)
        return m_core;
    m_core = new Vpn::V2RayCore(this);
    QObject::connect(m_core, &Vpn::V2RayCore::connected, this, &VpnConnectionService::onCoreConnected);
    QObject::connect(m_core, &Vpn::V2RayCore::disconnected, this, &VpnConnectionService::onCoreEnded);
    QObject::connect(m_core, &Vpn::V2RayCore::error, this,
                     [this](const QString &text) { onRunnerError("[VpnConnectionService] VPN错误:", text); });
    QObject::connect(m_core, &Vpn::V2RayCore::trafficUpdate, this, &VpnConnectionService::updateTrafficStats);
    QObject::connect(m_core, &Vpn::V2RayCore::logOutput, this, &VpnConnectionService::onRunnerLog);
    qDebug() << "[VpnConnectionService] VPN核心已创建";
    return m_core;
}

int VpnConnectionService::durationTickInterval() const
{
    return m_durationTimer->interval();
}

void VpnConnectionService::setDurationTickInterval(int milliseconds)
{
    if (Vpn::acceptedWait(milliseconds, "[VpnConnectionService] 忽略无效的时长计时间隔: %1 毫秒"))
        m_durationTimer->setInterval(milliseconds);
}

void VpnConnectionService::startConnection(int serverId, const QString &vmessLink)
{
    qDebug() << "[VpnConnectionService] 开始连接流程, 服务器ID:" << serverId;
    m_serverId = serverId;
    m_vmessLink = vmessLink;
    m_forcedEndReported = false;
    setState(Connecting);

    try {
        runConnectFlow(vmessLink);
    } catch (const QString &text) {
        qWarning() << "[VpnConnectionService] 连接异常:" << text;
        failConnection(NetworkFailure);
    } catch (...) {
        qWarning() << "[VpnConnectionService] 未知异常";
        failConnection(NetworkFailure);
    }
}

void VpnConnectionService::runConnectFlow(const QString &vmessLink)
{
    Vpn::V2RayCore *core = proxyCore();

    QString link = vmessLink;
    if (!link.startsWith(QLatin1String("vmess://"))) {
        qDebug() << "[VpnConnectionService] VMess链接已加密,开始解密...";
        const QString key = Security::TokenManager::instance()->getVpnEncryptKey();
        if (key.isEmpty()) {
            qWarning() << "[VpnConnectionService] 未设置VPN加密密钥";
        } else {
            link = Security::CryptoUtil::decryptVmessLink(link, key);
            if (link.isEmpty()) {
                qWarning() << "[VpnConnectionService] VMess链接解密失败";
                failConnection(NetworkFailure);
                return;
            }
            qDebug() << "[VpnConnectionService] VMess链接解密成功";
        }
    }

    Vpn::VmessConfig config = Vpn::VmessParser::parse(link);
    qDebug() << "[VpnConnectionService] VMess链接解析成功";
    config.globalRouting = m_routingMode != 0 ? 1 : 0;
    qDebug() << "[VpnConnectionService] 路由模式:" << routingModeName(m_routingMode);

    if (!core->start(config)) {
        qWarning() << "[VpnConnectionService] VPN核心启动失败";
        failConnection(NetworkFailure);
        return;
    }
    qDebug() << "[VpnConnectionService] VPN核心已启动";
    m_runnersUp = true;
    m_awaitingCore = true;
    startLocalProxy();
}

void VpnConnectionService::startLocalProxy()
{
    if (m_connectionMode == SystemProxyMode) {
        qDebug() << "[VpnConnectionService] 使用系统代理模式";
        if (SystemProxyManager::setSystemProxy(Vpn::V2RayCore::localProxyUrl()))
            qDebug() << "[VpnConnectionService] 系统代理已设置";
        else
            qWarning() << "[VpnConnectionService] 设置系统代理失败";
        return;
    }

    qDebug() << "[VpnConnectionService] 使用VPN模式";
    QThread::sleep(kTunnelStartPauseSeconds);
    if (!tunnel()->start(Vpn::V2RayCore::localProxyUrl())) {
        qWarning() << "[VpnConnectionService] 启动VPN隧道失败";
        failConnection(NetworkFailure);
        return;
    }
    qDebug() << "[VpnConnectionService] VPN隧道已启动";
}

Vpn::Tun2SocksManager *VpnConnectionService::tunnel()
{
    if (m_tunnel)
        return m_tunnel;
    m_tunnel = new Vpn::Tun2SocksManager(this);
    QObject::connect(m_tunnel, &Vpn::Tun2SocksManager::error, this,
                     [this](const QString &text) { onRunnerError("[VpnConnectionService] Tun2Socks错误:", text); });
    QObject::connect(m_tunnel, &Vpn::Tun2SocksManager::logOutput, this, &VpnConnectionService::onRunnerLog);
    qDebug() << "[VpnConnectionService] Tun2SocksManager已创建";
    return m_tunnel;
}

void VpnConnectionService::failConnection(ConnectionFailureReason reason)
{
    qWarning() << "[VpnConnectionService] VPN连接失败:" << int(reason);
    m_serverId = 0;
    m_vmessLink.clear();
    m_awaitingCore = false;
    setState(Disconnected);
    emit connectionFailed(reason, getFailureReasonText(reason));
}

void VpnConnectionService::runDisconnectSteps()
{
    qDebug() << "[VpnConnectionService] 断开VPN连接";
    setState(Disconnecting);

    stopRunners();

    m_serverId = 0;
    m_vmessLink.clear();
    resetFigures();
    setState(Disconnected);
    emit disconnected();
    qDebug() << "[VpnConnectionService] VPN已断开";
}

void VpnConnectionService::stopRunners()
{
    m_stoppingRunners = true;

    qDebug() << "[VpnConnectionService] 停止心跳";
    HeartbeatService::instance()->stopAutoHeartbeat();

    m_durationTimer->stop();
    qDebug() << "[VpnConnectionService] 停止连接时长计时, 总时长:" << formatDuration(m_connectionDuration);

    if (m_core)
        m_core->stop();

    if (m_connectionMode == SystemProxyMode) {
        qDebug() << "[VpnConnectionService] 清除系统代理";
        SystemProxyManager::clearSystemProxy();
    } else {
        qDebug() << "[VpnConnectionService] 停止VPN隧道";
        if (m_tunnel)
            m_tunnel->stop();
    }

    m_runnersUp = false;
    m_awaitingCore = false;
    m_stoppingRunners = false;
}

// After a failure report the state reads Disconnected while the core, the system proxy and
// the heartbeat of that attempt may still run. They are ended here without any signal: the
// receivers were already told by the failure report, and a second disconnect sequence would
// read as a connection that had come up and gone down again.
void VpnConnectionService::endLeftoverRunners()
{
    if (!m_runnersUp)
        return;
    qWarning() << "[VpnConnectionService] 结束失败连接遗留的VPN核心与代理设置";
    stopRunners();
    resetFigures();
}

void VpnConnectionService::setState(VpnConnectionState state)
{
    m_state = state;
    emit connectionStateChanged(state);
}

void VpnConnectionService::resetFigures()
{
    m_connectionDuration = 0;
    m_uploadBytes = 0;
    m_downloadBytes = 0;
    m_previousUploadBytes = 0;
    m_previousDownloadBytes = 0;
    m_latency = 0;
}

QString VpnConnectionService::speedText(qint64 difference) const
{
    if (m_state != Connected || m_lastTrafficUpdate.isNull())
        return QStringLiteral("0 B/s");
    const qint64 seconds = m_lastTrafficUpdate.secsTo(QDateTime::currentDateTime());
    return formatSpeed(difference, seconds <= 0 ? 1 : int(std::min<qint64>(seconds, std::numeric_limits<int>::max())));
}

void VpnConnectionService::onCoreConnected()
{
    if (m_state != Connecting || !m_awaitingCore) {
        qDebug() << "[VpnConnectionService] 忽略已失效的连接成功信号, 状态:" << connectionStateText();
        return;
    }
    m_awaitingCore = false;

    qDebug() << "[VpnConnectionService] VPN连接建立成功";
    setState(Connected);
    emit connectionSuccess();

    qDebug() << "[VpnConnectionService] 启动心跳, 服务器ID:" << m_serverId;
    HeartbeatService::instance()->startAutoHeartbeat(m_serverId, 0);

    m_connectedAt = QDateTime::currentDateTime();
    m_connectionDuration = 0;
    m_durationTimer->start();
    qDebug() << "[VpnConnectionService] 开始连接时长计时";
}

// The core's and the tunnel's errors differ only in the warning's words.
void VpnConnectionService::onRunnerError(const char *warning, const QString &text)
{
    if (m_state == Disconnecting || m_stoppingRunners)
        return;
    qWarning() << warning << text;
    failConnection(NetworkFailure);
}

// Runs the whole disconnect also when a failure report already set Disconnected: this is
// what clears the system proxy and stops the heartbeat after a crash.
void VpnConnectionService::onCoreEnded()
{
    if (m_state == Disconnecting || m_stoppingRunners)
        return;
    qWarning() << "[VpnConnectionService] VPN意外断开";
    runDisconnectSteps();
}

void VpnConnectionService::onRunnerLog(const QString &text)
{
    qDebug().noquote() << text;
}

void VpnConnectionService::onForceDisconnect(const QString &message)
{
    if (m_forcedEndReported) {
        qDebug() << "[VpnConnectionService] 本次连接已被强制断开, 忽略重复的强制断开信号:" << message;
        return;
    }
    m_forcedEndReported = true;
    qWarning() << "[VpnConnectionService] 收到强制断开信号:" << message;
    qWarning() << "[VpnConnectionService] 被服务器强制断开:" << message;
    disconnect();
    emit forceDisconnected(message);
    emit connectionFailed(ForcedOffline, message);
}

void VpnConnectionService::onUserStatusUpdated(bool isVip, double trialHoursRemaining)
{
    m_isVip = isVip;
    m_trialHoursRemaining = trialHoursRemaining;
    if (m_state != Connected || isVip)
        return;

    qDebug() << "[VpnConnectionService] 免费用户状态检查:";
    qDebug() << "  体验剩余时长:" << trialHoursRemaining << "小时";
    if (trialHoursRemaining < kTrialEndedBelowHours) {
        qWarning() << "[VpnConnectionService] 体验时长已到期，断开连接";
        disconnect();
        emit permissionDenied(TrialExpired, getFailureReasonText(TrialExpired));
    } else if (trialHoursRemaining >= 0 && trialHoursRemaining <= kTrialEndingWithinHours) {
        qWarning() << "[VpnConnectionService] 体验时长即将用完:" << trialHoursRemaining << "小时";
    }
}

void VpnConnectionService::onDurationTick()
{
    if (m_state != Connected)
        return;
    m_connectionDuration = int(m_connectedAt.secsTo(QDateTime::currentDateTime()));
    emit connectionDurationChanged(m_connectionDuration);
}

} // namespace Norvane::Api::Services
