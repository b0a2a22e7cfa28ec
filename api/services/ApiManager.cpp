#include "api/services/ApiManager.h"

#include "api/network/HttpClient.h"
#include "api/security/TokenManager.h"
#include "api/services/AuthService.h"
#include "api/services/ConfigService.h"
#include "api/services/HeartbeatService.h"
#include "api/services/OrderService.h"
#include "api/services/PaymentService.h"
#include "api/services/ServerService.h"

#include <QDateTime>
#include <QDebug>

namespace Norvane::Api {

using Network::HttpClient;
using Security::TokenManager;
using Services::AuthService;
using Services::ConfigService;

ApiManager *ApiManager::instance()
{
    static ApiManager manager;
    return &manager;
}

ApiManager::ApiManager()
{
    // Obtaining the senders in this order builds the client, the settings store and the
    // login state before anything asks them for data.
    AuthService *auth = AuthService::instance();
    connect(auth, &AuthService::loginSuccess, this, [this]() { emit loginStateChanged(true); });
    connect(auth, &AuthService::logoutSuccess, this, [this]() { emit loginStateChanged(false); });
    connect(auth, &AuthService::authenticationRequired, this, &ApiManager::authenticationRequired);

    connect(ConfigService::instance(), &ConfigService::maintenanceModeEntered, this,
            &ApiManager::maintenanceModeEntered);

    HttpClient *client = HttpClient::instance();
    connect(client, &HttpClient::networkError, this, &ApiManager::networkError);
    connect(client, &HttpClient::authenticationRequired, this, &ApiManager::authenticationRequired);

    connect(TokenManager::instance(), &TokenManager::loginStateChanged, this,
            &ApiManager::loginStateChanged);

    qDebug() << "[ApiManager] 创建完成";
}

ApiManager::~ApiManager()
{
    qDebug() << "[ApiManager] 销毁";
}

void ApiManager::initialize(InitializeCallback callback)
{
    qDebug() << "[ApiManager] 开始初始化API模块";
    restoreLoginState();

    ConfigService::instance()->initialize([this, callback = std::move(callback)](bool success) {
        if (success) {
            qDebug() << "[ApiManager] API模块初始化成功";
            if (ConfigService::instance()->isMaintenanceMode())
                emit maintenanceModeEntered();
        } else {
            qWarning() << "[ApiManager] API模块初始化失败";
        }
        emit initialized(success);
        if (callback)
            callback(success);
    });
}

void ApiManager::restoreLoginState()
{
    const QString token = TokenManager::instance()->token();
    if (token.isEmpty())
        return;
    HttpClient::instance()->setAuthToken(token);
    qDebug() << "[ApiManager] 恢复登录状态成功";
    AuthService::instance()->refreshUserInfo(
        [](bool success, const QString &, const Models::User &user) {
            if (success)
                qDebug() << "[ApiManager] 用户信息刷新成功:" << user.email;
            else
                qWarning() << "[ApiManager] 用户信息刷新失败，Token可能已过期";
        });
}

void ApiManager::login(const QString &email, const QString &password, UserCallback callback)
{
    AuthService::instance()->login(email, password, std::move(callback));
}

void ApiManager::registerUser(const QString &email, const QString &password, const QString &name,
                              const QString &refferCode, UserCallback callback)
{
    AuthService::instance()->registerUser(email, password, name, refferCode, std::move(callback));
}

void ApiManager::loginUser(const QString &email, const QString &password)
{
    AuthService::instance()->login(email, password,
                                   [this](bool success, const QString &message, const Models::User &) {
                                       if (!success)
                                           emit loginError(message);
                                   });
}

void ApiManager::logout(LogoutCallback callback)
{
    Services::HeartbeatService::instance()->stopAutoHeartbeat();
    AuthService::instance()->logout(
        [this, callback = std::move(callback)](bool success, const QString &message) {
            Services::PaymentService::instance()->stopPolling();
            Services::ServerService::instance()->clearCache();
            Services::OrderService::instance()->clearCache();
            if (callback)
                callback(success, message);
            emit loginStateChanged(false);
        });
}

bool ApiManager::isLoggedIn() const
{
    return TokenManager::instance()->isLoggedIn();
}

Models::User ApiManager::currentUser() const
{
    return TokenManager::instance()->getUser();
}

bool ApiManager::canConnect() const
{
    const Models::User user = currentUser();
    if (user.status != QLatin1String("active"))
        return false;
    if (user.isVipActive())
        return true;
    return user.trialUsed && user.trialExpiresAt.isValid()
        && user.trialExpiresAt > QDateTime::currentDateTimeUtc() && user.trialHoursRemaining > 0;
}

} // namespace Norvane::Api
