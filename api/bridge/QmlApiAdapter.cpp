#include "api/bridge/QmlApiAdapter.h"

#include "api/bridge/QmlProjections.h"
#include "api/services/AnnouncementService.h"
#include "api/services/ApiManager.h"
#include "api/services/AuthService.h"
#include "api/services/ConfigService.h"
#include "api/services/HeartbeatService.h"
#include "api/services/OrderService.h"
#include "api/services/PaymentService.h"
#include "api/services/ServerService.h"
#include "api/services/VpnConnectionService.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QTimer>

namespace Norvane::Api {

using Services::AnnouncementService;
using Services::AuthService;
using Services::ConfigService;
using Services::HeartbeatService;
using Services::OrderService;
using Services::PaymentService;
using Services::ServerService;
using Services::VpnConnectionService;

namespace {

constexpr int kSecondsPerDay = 86400;
// Country-code letters plus this offset are the regional indicator symbols of a flag emoji.
constexpr char32_t kRegionalIndicatorOffset = 0x1F1A5;
constexpr int kHighestReasonCode = VpnConnectionService::ServerFailure;

} // namespace

template<typename Succeeded>
auto QmlApiAdapter::relay(const char *failed, ErrorSignal error, Succeeded succeeded)
{
    return guarded([this, failed, error, succeeded](bool success, const QString &message, const auto &record) {
        if (!success) {
            qDebug() << failed << message;
            emit (this->*error)(message);
            return;
        }
        succeeded(record);
    });
}

template<typename Record>
auto QmlApiAdapter::mapAnswer(const char *failed, ErrorSignal error, const char *succeeded, MapSignal loaded,
                              QVariantMap (*project)(const Record &record))
{
    return relay(failed, error, [this, succeeded, loaded, project](const Record &record) {
        qDebug() << succeeded;
        emit (this->*loaded)(project(record));
    });
}

template<typename Record>
auto QmlApiAdapter::listAnswer(const char *failed, ErrorSignal error, const char *succeeded, ListSignal loaded,
                               QVariantMap (*project)(const Record &record))
{
    return relay(failed, error, [this, succeeded, loaded, project](const QList<Record> &records) {
        const QVariantList list = QmlProjections::list(records, project);
        qDebug() << succeeded << list.size();
        emit (this->*loaded)(list);
    });
}

// The two trial activations differ only in their log texts and in the user's map. The account
// properties change before the trial is announced.
auto QmlApiAdapter::trialAnswer(const char *failed, const char *succeeded,
                                QVariantMap (*project)(const Models::User &user))
{
    return relay(failed, &QmlApiAdapter::trialActivationError, [this, succeeded, project](const Models::User &user) {
        updateUserInfo();
        qDebug() << succeeded;
        emit trialActivated(project(user));
    });
}

QmlApiAdapter::QmlApiAdapter(QObject *parent)
    : QObject(parent)
{
    setupConnections();
    updateUserInfo();
    qDebug() << "[QmlApiAdapter] 初始化完成";
}

QmlApiAdapter::~QmlApiAdapter()
{
    qDebug() << "[QmlApiAdapter] 销毁";
    VpnConnectionService::instance()->disconnect();
}

bool QmlApiAdapter::isLoggedIn() const
{
    return ApiManager::instance()->isLoggedIn();
}

bool QmlApiAdapter::canConnect() const
{
    return ApiManager::instance()->canConnect();
}

void QmlApiAdapter::setupConnections()
{
    connect(ApiManager::instance(), &ApiManager::loginStateChanged, this, [this](bool loggedIn) {
        if (loggedIn)
            updateUserInfo();
        emit loginStateChanged(loggedIn);
    });
    connect(AuthService::instance(), &AuthService::userInfoUpdated, this, [this]() { updateUserInfo(); });

    VpnConnectionService *vpn = VpnConnectionService::instance();
    connect(vpn, &VpnConnectionService::connectionSuccess, this, &QmlApiAdapter::vpnConnected);
    connect(vpn, &VpnConnectionService::connectionFailed, this,
            [this](VpnConnectionService::ConnectionFailureReason reason, const QString &message) {
                emit vpnConnectionFailed(reason, message);
            });
    connect(vpn, &VpnConnectionService::disconnected, this, &QmlApiAdapter::vpnDisconnected);
    connect(vpn, &VpnConnectionService::forceDisconnected, this, &QmlApiAdapter::onVpnForceDisconnected);
    connect(vpn, &VpnConnectionService::permissionDenied, this,
            [this](VpnConnectionService::ConnectionFailureReason reason, const QString &message) {
                emit vpnPermissionDenied(reason, message);
            });
    connect(vpn, &VpnConnectionService::connectionDurationChanged, this, &QmlApiAdapter::vpnDurationChanged);
    connect(vpn, &VpnConnectionService::trafficStatsChanged, this, [this, vpn]() {
        emit vpnTrafficUpdate(vpn->uploadBytes(), vpn->downloadBytes());
    });

    // The window's closing handler may not run; quitting must still take the system proxy back.
    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, []() { VpnConnectionService::instance()->disconnect(); });
}

void QmlApiAdapter::clearUserFields()
{
    m_userEmail.clear();
    m_userName.clear();
    m_isVip = false;
    m_vipExpiresAt.clear();
    m_vipDays = 0;
    m_freeMinutes = kDefaultFreeMinutes;
}

void QmlApiAdapter::updateUserInfo()
{
    ApiManager *manager = ApiManager::instance();
    if (!manager->isLoggedIn()) {
        clearUserFields();
        qDebug() << "📱 [QmlApiAdapter] 用户未登录，显示默认状态";
        emit userInfoChanged();
        return;
    }

    const Models::User user = manager->currentUser();
    m_userEmail = user.email;
    m_userName = user.name;
    m_isVip = user.isVipActive();
    m_vipExpiresAt = user.vipExpiresAt.isValid() ? user.vipExpiresAt.toString(Qt::ISODate) : QString();

    m_vipDays = 0;
    if (m_isVip) {
        const qint64 seconds = QDateTime::currentDateTimeUtc().secsTo(user.vipExpiresAt);
        m_vipDays = seconds <= 0 ? 0 : int((seconds - 1) / kSecondsPerDay + 1);
        qDebug() << "[QmlApiAdapter] VIP剩余秒数:" << seconds << "剩余天数:" << m_vipDays << "到期时间:"
                 << user.vipExpiresAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }

    // A free user with no trial time left has nothing to spend: the home screen then offers
    // the trial, and the permission check refuses.
    if (m_isVip || user.trialHoursRemaining <= 0)
        m_freeMinutes = 0;
    else
        m_freeMinutes = int(user.trialHoursRemaining * 60);

    VpnConnectionService::instance()->updateUserInfo(user);

    qDebug() << "✅ [QmlApiAdapter] 用户信息已更新:" << m_userEmail << "VIP:" << m_isVip << "VIP天数:" << m_vipDays
             << "免费分钟:" << m_freeMinutes;
    emit userInfoChanged();
}

void QmlApiAdapter::onAccountAnswer(bool success, const QString &message, const QString &email,
                                    const AccountTexts &texts)
{
    if (!success) {
        qDebug() << texts.failed << message;
        emit loginError(message);
        return;
    }
    qDebug() << texts.succeeded << email;
    updateUserInfo();
    qDebug() << texts.refreshing;
    getSystemConfig();
    emit loginSuccess();
    emit loginStateChanged(true);
}

void QmlApiAdapter::login(const QString &email, const QString &password)
{
    static const AccountTexts texts{"[QmlApiAdapter] 登录成功:", "[QmlApiAdapter] 登录成功，刷新系统配置",
                                    "[QmlApiAdapter] 登录失败:"};
    qDebug() << "[QmlApiAdapter] 登录:" << email;
    ApiManager::instance()->login(
        email, password, guarded([this](bool success, const QString &message, const Models::User &user) {
            onAccountAnswer(success, message, user.email, texts);
        }));
}

void QmlApiAdapter::registerUser(const QString &email, const QString &password, const QString &name,
                                 const QString &refferCode)
{
    static const AccountTexts texts{"[QmlApiAdapter] 注册成功:", "[QmlApiAdapter] 注册成功，刷新系统配置",
                                    "[QmlApiAdapter] 注册失败:"};
    qDebug() << "[QmlApiAdapter] 注册:" << email;
    ApiManager::instance()->registerUser(
        email, password, name, refferCode,
        guarded([this](bool success, const QString &message, const Models::User &user) {
            onAccountAnswer(success, message, user.email, texts);
        }));
}

void QmlApiAdapter::logout()
{
    if (m_isLoggingOut) {
        qDebug() << "⚠️ [QmlApiAdapter] 正在退出登录中，忽略重复调用";
        return;
    }
    m_isLoggingOut = true;
    qDebug() << "🔴 [QmlApiAdapter] 开始退出登录流程";

    VpnConnectionService::instance()->onUserLogout();
    ApiManager::instance()->logout(guarded([this](bool success, const QString &) {
        if (success)
            qDebug() << "✅ [QmlApiAdapter] API退出成功，清除本地数据";
        else
            qDebug() << "⚠️ [QmlApiAdapter] API退出失败，但仍清除本地数据";
        clearUserFields();
        emit userInfoChanged();
        emit loginStateChanged(false);
        if (success)
            qDebug() << "🔴 [QmlApiAdapter] 退出登录完成";
        m_isLoggingOut = false;
    }));
}

void QmlApiAdapter::refreshUserInfo()
{
    qDebug() << "[QmlApiAdapter] 刷新用户信息";
    AuthService::instance()->refreshUserInfo(guarded([this](bool success, const QString &, const Models::User &) {
        if (success)
            updateUserInfo();
    }));
}

void QmlApiAdapter::onVpnForceDisconnected(const QString &message)
{
    qWarning() << "[QmlApiAdapter] VPN被强制断开:" << message;
    emit vpnForceDisconnected(message);
    if (message.contains(QStringLiteral("其他设备登录")) || message.contains(QStringLiteral("强制下线"))) {
        qWarning() << "[QmlApiAdapter] 检测到单点登录，自动退出登录";
        QTimer::singleShot(kForcedLogoutDelayMs, this, [this]() { logout(); });
    }
}

int QmlApiAdapter::checkVpnPermission(int serverId, bool requiresVip)
{
    if (!ApiManager::instance()->isLoggedIn())
        return VpnConnectionService::NotLoggedIn;
    if (serverId <= 0)
        return VpnConnectionService::NoServerSelected;
    if (requiresVip && !m_isVip)
        return VpnConnectionService::VipRequired;
    if (requiresVip && m_vipDays <= 0)
        return VpnConnectionService::VipExpired;
    if (!m_isVip && m_freeMinutes <= 0)
        return VpnConnectionService::TrialExpired;
    if (m_vipDays > 0)
        return VpnConnectionService::NoError;
    if (m_freeMinutes <= 0)
        return VpnConnectionService::VipAndTrialExpired;
    return VpnConnectionService::NoError;
}

QString QmlApiAdapter::getVpnFailureReasonText(int reasonCode)
{
    if (reasonCode < 0 || reasonCode > kHighestReasonCode)
        return QStringLiteral("未知错误");
    return VpnConnectionService::instance()->getFailureReasonText(
        static_cast<VpnConnectionService::ConnectionFailureReason>(reasonCode));
}

bool QmlApiAdapter::connectVpn(int serverId, const QString &vmessLink, bool requiresVip)
{
    qDebug() << "========================================";
    qDebug() << "[QmlApiAdapter] 🔵 connectVpn被调用";
    qDebug() << "  服务器ID:" << serverId;
    qDebug() << "  需要VIP:" << requiresVip;
    qDebug() << "  VMess链接长度:" << vmessLink.size();
    qDebug() << "  VMess链接前缀:" << vmessLink.left(20);
    qDebug() << "  当前登录状态:" << ApiManager::instance()->isLoggedIn();
    qDebug() << "  当前用户VIP:" << m_isVip;
    qDebug() << "========================================";

    if (vmessLink.isEmpty()) {
        qWarning() << "[QmlApiAdapter] ❌ VMess链接为空，无法连接";
        return false;
    }

    qDebug() << "[QmlApiAdapter] 🔍 检查VPN连接权限...";
    const int code = checkVpnPermission(serverId, requiresVip);
    if (code != VpnConnectionService::NoError) {
        const QString text = getVpnFailureReasonText(code);
        qWarning() << "[QmlApiAdapter] ❌ VPN连接权限不足:" << text << "错误码:" << code;
        emit vpnPermissionDenied(code, text);
        emit vpnConnectionFailed(code, text);
        return false;
    }

    qDebug() << "[QmlApiAdapter] ✅ 权限检查通过";
    qDebug() << "[QmlApiAdapter] 📞 调用VpnConnectionService::connect...";
    if (!VpnConnectionService::instance()->connect(serverId, vmessLink)) {
        qWarning() << "[QmlApiAdapter] ❌ VPN连接服务返回失败";
        return false;
    }
    qDebug() << "[QmlApiAdapter] ✅ VPN连接请求已发送";
    return true;
}

void QmlApiAdapter::disconnectVpn()
{
    qDebug() << "[QmlApiAdapter] 断开VPN连接";
    VpnConnectionService::instance()->disconnect();
}

void QmlApiAdapter::setRoutingMode(int mode)
{
    qDebug() << "[QmlApiAdapter] 设置路由模式:" << qUtf8Printable(VpnConnectionService::routingModeName(mode));
    VpnConnectionService::instance()->setRoutingMode(mode);
}

void QmlApiAdapter::updateVpnTraffic(qlonglong uploadBytes, qlonglong downloadBytes)
{
    HeartbeatService::instance()->updateTraffic(uploadBytes, downloadBytes);
}

void QmlApiAdapter::updateVpnLatency(int latencyMs)
{
    HeartbeatService::instance()->updateLatency(latencyMs);
}

void QmlApiAdapter::sendHeartbeat(bool isConnected)
{
    qDebug() << "[QmlApiAdapter] 发送心跳, isConnected:" << isConnected;
    const QString status = isConnected ? QStringLiteral("connected") : QStringLiteral("disconnected");
    HeartbeatService::instance()->sendHeartbeat(
        0, status, 0, 0, 0, guarded([this](bool success, const Models::HeartbeatResponse &) {
            if (success) {
                qDebug() << "[QmlApiAdapter] 心跳发送成功";
                emit heartbeatSent();
            } else {
                qDebug() << "[QmlApiAdapter] 心跳发送失败";
                emit heartbeatError(QStringLiteral("心跳发送失败"));
            }
        }));
}

void QmlApiAdapter::getHeartbeatStats()
{
    qDebug() << "[QmlApiAdapter] 获取统计数据";
    HeartbeatService::instance()->getStats(guarded([this](bool success, const Models::HeartbeatStats &stats) {
        if (success) {
            const QVariantMap map = QmlProjections::heartbeatStats(stats);
            qDebug() << "[QmlApiAdapter] 统计数据获取成功";
            emit heartbeatStatsLoaded(map);
        } else {
            qDebug() << "[QmlApiAdapter] 统计数据获取失败";
            emit heartbeatStatsError(QStringLiteral("获取统计数据失败"));
        }
    }));
}

QString QmlApiAdapter::getCountryFlag(const QString &countryCode) const
{
    if (countryCode.size() != 2)
        return QStringLiteral("🌐");
    const QString upper = countryCode.toUpper();
    const char32_t codePoints[2] = {upper.at(0).unicode() + kRegionalIndicatorOffset,
                                    upper.at(1).unicode() + kRegionalIndicatorOffset};
    return QString::fromUcs4(codePoints, 2);
}

void QmlApiAdapter::getServers(const QString &tier)
{
    qDebug() << "[QmlApiAdapter] 获取服务器列表, tier:" << tier;
    auto loaded = [this](const QList<Models::Server> &servers) {
        QVariantList list;
        for (const Models::Server &server : servers) {
            const QString flag = getCountryFlag(server.countryCode);
            list.append(QmlProjections::server(server, flag));
            qDebug() << "[QmlApiAdapter] 🔍 服务器详情:";
            qDebug() << "  ID:" << server.id;
            qDebug() << "  Name:" << server.name;
            qDebug() << "  CountryCode:" << server.countryCode;
            qDebug() << "  City:" << server.city;
            qDebug() << "  Location:" << server.location;
            qDebug() << "  Tier:" << server.tier;
            qDebug() << "  TierText:" << server.tierText;
            qDebug() << "  国旗:" << flag << "长度:" << flag.size();
        }
        qDebug() << "[QmlApiAdapter] 服务器列表获取成功, 数量:" << list.size();
        emit serversLoaded(list);
    };
    auto answer = relay("[QmlApiAdapter] 服务器列表获取失败:", &QmlApiAdapter::serversError, loaded);

    ServerService *service = ServerService::instance();
    if (tier.isEmpty() || tier == QLatin1String("all"))
        service->getAllServers(answer);
    else if (tier == QLatin1String("free"))
        service->getFreeServers(answer);
    else if (tier == QLatin1String("vip"))
        service->getVipServers(answer);
    else
        service->getServersByTier(tier, answer);
}

void QmlApiAdapter::getServerById(int serverId)
{
    qDebug() << "[QmlApiAdapter] 获取服务器详情, serverId:" << serverId;
    auto loaded = [this](const Models::Server &server) {
        const QVariantMap map = QmlProjections::serverDetail(server, getCountryFlag(server.countryCode));
        qDebug() << "[QmlApiAdapter] 服务器详情获取成功:" << server.name;
        emit serverDetailLoaded(map);
    };
    ServerService::instance()->getServerById(
        serverId, relay("[QmlApiAdapter] 服务器详情获取失败:", &QmlApiAdapter::serverDetailError, loaded));
}

void QmlApiAdapter::getAnnouncements()
{
    qDebug() << "[QmlApiAdapter] 获取公告列表";
    AnnouncementService::instance()->getAnnouncements(
        QStringLiteral("windows"), 0,
        listAnswer("[QmlApiAdapter] 公告列表获取失败:", &QmlApiAdapter::announcementsError,
                   "[QmlApiAdapter] 公告列表获取成功, 数量:", &QmlApiAdapter::announcementsLoaded,
                   &QmlProjections::announcement));
}

void QmlApiAdapter::getUserOrders()
{
    qDebug() << "[QmlApiAdapter] 获取订单列表";
    OrderService::instance()->getAllOrders(
        listAnswer("[QmlApiAdapter] 订单列表获取失败:", &QmlApiAdapter::ordersError, "[QmlApiAdapter] 订单列表获取成功, 数量:",
                   &QmlApiAdapter::ordersLoaded, &QmlProjections::order));
}

void QmlApiAdapter::getSystemConfig()
{
    qDebug() << "[QmlApiAdapter] 获取系统配置";
    ConfigService::instance()->getConfigs(
        mapAnswer("[QmlApiAdapter] 系统配置获取失败:", &QmlApiAdapter::systemConfigError, "[QmlApiAdapter] 系统配置获取成功",
                  &QmlApiAdapter::systemConfigLoaded, &QmlProjections::systemConfig));
}

void QmlApiAdapter::activateFreeTrial()
{
    qDebug() << "[QmlApiAdapter] 激活免费体验";
    ConfigService::instance()->activateFreeTrial(trialAnswer(
        "[QmlApiAdapter] 免费体验激活失败:", "[QmlApiAdapter] 免费体验激活成功", &QmlProjections::freeTrialUser));
}

void QmlApiAdapter::activateVipTrial()
{
    qDebug() << "[QmlApiAdapter] 激活VIP体验";
    ConfigService::instance()->activateVipTrial(trialAnswer(
        "[QmlApiAdapter] VIP体验激活失败:", "[QmlApiAdapter] VIP体验激活成功", &QmlProjections::vipTrialUser));
}

void QmlApiAdapter::getTrialStatus()
{
    qDebug() << "[QmlApiAdapter] 获取体验状态";
    ConfigService::instance()->getTrialStatus(
        mapAnswer("[QmlApiAdapter] 体验状态获取失败:", &QmlApiAdapter::trialStatusError, "[QmlApiAdapter] 体验状态获取成功",
                  &QmlApiAdapter::trialStatusLoaded, &QmlProjections::trialStatus));
}

void QmlApiAdapter::getSubscriptionPlans()
{
    qDebug() << "[QmlApiAdapter] 获取套餐列表";
    PaymentService::instance()->getSubscriptionPlans(
        listAnswer("[QmlApiAdapter] 套餐列表获取失败:", &QmlApiAdapter::plansError, "[QmlApiAdapter] 套餐列表获取成功, 数量:",
                   &QmlApiAdapter::plansLoaded, &QmlProjections::plan));
}

void QmlApiAdapter::createPayment(int planId, const QString &paymentMethod)
{
    qDebug() << "[QmlApiAdapter] 创建支付订单, planId:" << planId << ", paymentMethod:" << paymentMethod;
    auto created = [this](const Models::CreatePaymentData &data) {
        qDebug() << "[QmlApiAdapter] 支付订单创建成功, orderId:" << data.orderId;
        emit paymentCreated(QmlProjections::paymentOrder(data));
    };
    PaymentService::instance()->createPayment(
        planId, paymentMethod, relay("[QmlApiAdapter] 支付订单创建失败:", &QmlApiAdapter::paymentCreationError, created));
}

void QmlApiAdapter::getPaymentStatus(const QString &orderNumber)
{
    qDebug() << "[QmlApiAdapter] 查询支付状态, orderNumber:" << orderNumber;
    auto loaded = [this, orderNumber](const Models::PaymentStatusData &data) {
        qDebug() << "[QmlApiAdapter] 支付状态查询成功, status:" << data.status;
        emit paymentStatusLoaded(QmlProjections::paymentStatus(data));
        if (data.status == QLatin1String("paid"))
            emit paymentCompleted(orderNumber);
        else if (data.status == QLatin1String("failed") || data.status == QLatin1String("cancelled"))
            emit paymentFailed(orderNumber, data.status);
    };
    PaymentService::instance()->getPaymentStatus(
        orderNumber, relay("[QmlApiAdapter] 支付状态查询失败:", &QmlApiAdapter::paymentStatusError, loaded));
}

void QmlApiAdapter::startPollingPayment(const QString &orderNumber)
{
    qDebug() << "[QmlApiAdapter] 开始轮询支付状态, orderNumber:" << orderNumber;
    PaymentService::instance()->startPolling(
        orderNumber,
        guarded([this](bool success, const QString &, const Models::PaymentStatusData &data) {
            if (success)
                emit paymentStatusLoaded(QmlProjections::pollingStatus(data));
        }),
        guarded([this, orderNumber]() {
            qDebug() << "[QmlApiAdapter] 支付完成, orderNumber:" << orderNumber;
            emit paymentCompleted(orderNumber);
            refreshUserInfo();
        }),
        guarded([this, orderNumber]() {
            qDebug() << "[QmlApiAdapter] 支付轮询超时, orderNumber:" << orderNumber;
            emit paymentFailed(orderNumber, QStringLiteral("支付超时"));
        }));
}

void QmlApiAdapter::stopPollingPayment()
{
    qDebug() << "[QmlApiAdapter] 停止轮询支付状态";
    PaymentService::instance()->stopPolling();
}

} // namespace Norvane::Api
