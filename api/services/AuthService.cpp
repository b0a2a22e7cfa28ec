#include "api/services/AuthService.h"

#include "api/models/LoginRequest.h"
#include "api/models/RegisterRequest.h"
#include "api/network/HttpClient.h"
#include "api/security/TokenManager.h"

#include <QDebug>

namespace Norvane::Api::Services {

namespace {

const QString kInvalidReply = QStringLiteral("响应数据无效");
const QString kLoginChanged = QStringLiteral("登录状态已变更");

Network::HttpClient *client()
{
    return Network::HttpClient::instance();
}

Security::TokenManager *tokens()
{
    return Security::TokenManager::instance();
}

bool isCompleteUser(const Models::User &user)
{
    return user.id > 0 && !user.email.isEmpty();
}

Models::User userFrom(const Network::ApiResponse &response)
{
    return Models::User::fromJson(response.json.value(QStringLiteral("data")).toObject());
}

} // namespace

AuthService *AuthService::instance()
{
    static AuthService service;
    return &service;
}

AuthService::AuthService()
{
    connect(client(), &Network::HttpClient::authenticationRequired, this,
            &AuthService::authenticationRequired);
    qDebug() << "[AuthService] 初始化完成";
}

void AuthService::login(const QString &email, const QString &password, UserCallback callback)
{
    qDebug() << "[AuthService] 开始登录:" << email;
    Models::LoginRequest request;
    request.email = email;
    request.password = password;
    request.deviceId = tokens()->getDeviceId();
    request.deviceName = tokens()->getDeviceName();

    client()->postNoAuth(QStringLiteral("auth/login"), request.toJson(),
                         [this, callback = std::move(callback)](const Network::ApiResponse &response) {
                             handleAuthReply(response, callback, &AuthService::loginSuccess,
                                             &AuthService::loginFailed);
                         });
}

void AuthService::registerUser(const QString &email, const QString &password, const QString &name,
                               const QString &refferCode, UserCallback callback)
{
    qDebug() << "[AuthService] 开始注册用户:" << email;
    Models::RegisterRequest request;
    request.email = email;
    request.password = password;
    request.passwordConfirmation = password;
    request.name = name;
    request.deviceId = tokens()->getDeviceId();
    request.deviceName = tokens()->getDeviceName();
    request.refferCode = refferCode;

    client()->postNoAuth(QStringLiteral("auth/register"), request.toJson(),
                         [this, callback = std::move(callback)](const Network::ApiResponse &response) {
                             handleAuthReply(response, callback, &AuthService::registerSuccess,
                                             &AuthService::registerFailed);
                         });
}

void AuthService::handleAuthReply(const Network::ApiResponse &response, const UserCallback &callback,
                                  SuccessSignal succeeded, FailureSignal failed)
{
    QString failure;
    if (!response.isSuccess()) {
        failure = response.errorMessage();
        qDebug() << "[AuthService] 登录/注册失败:" << failure;
    } else {
        const QString token = response.json.value(QStringLiteral("token")).toString();
        const Models::User user = userFrom(response);
        if (token.isEmpty() || !isCompleteUser(user)) {
            failure = kInvalidReply;
            qDebug() << "[AuthService] 响应数据无效";
        } else {
            tokens()->login(token, user);
            client()->setAuthToken(token);
            if (callback)
                callback(true, response.json.value(QStringLiteral("message")).toString(), user);
            qDebug() << "[AuthService] 登录/注册成功:" << user.email;
            emit (this->*succeeded)(user);
            return;
        }
    }
    if (callback)
        callback(false, failure, Models::User());
    emit (this->*failed)(failure);
}

void AuthService::logout(LogoutCallback callback)
{
    qDebug() << "[AuthService] 开始登出";
    // The local login ends when the back end has answered or failed, whatever it said.
    client()->post(QStringLiteral("auth/logout"), QJsonObject(),
                   [this, callback = std::move(callback)](const Network::ApiResponse &) {
                       tokens()->logout();
                       client()->clearAuthToken();
                       if (callback)
                           callback(true, QStringLiteral("登出成功"));
                       emit logoutSuccess();
                       qDebug() << "[AuthService] 登出完成";
                   });
}

void AuthService::getCurrentUser(UserCallback callback)
{
    qDebug() << "[AuthService] 获取当前用户信息";
    const QString sentToken = client()->authToken();
    client()->get(QStringLiteral("auth/me"),
                  [this, sentToken, callback = std::move(callback)](const Network::ApiResponse &response) {
                      handleCurrentUserReply(response, sentToken, callback);
                  });
}

void AuthService::refreshUserInfo(UserCallback callback)
{
    getCurrentUser(std::move(callback));
}

void AuthService::handleCurrentUserReply(const Network::ApiResponse &response,
                                         const QString &sentToken, const UserCallback &callback)
{
    const Models::User user = userFrom(response);
    QString failure;
    bool accepted = false;
    if (sentToken != tokens()->token()) {
        // Logged out or in as someone else meanwhile: this record belongs to an ended login.
        failure = kLoginChanged;
        qWarning() << "[AuthService] 登录状态已变更, 丢弃过期的用户信息响应";
    } else if (!response.isSuccess()) {
        failure = response.errorMessage();
    } else if (!isCompleteUser(user)) {
        // A body without a usable record (a portal page, say) must not replace the stored user.
        failure = kInvalidReply;
        qWarning() << "[AuthService] 用户信息响应数据无效, 保留已存储的用户";
    } else {
        accepted = true;
    }

    if (!accepted) {
        qDebug() << "[AuthService] 获取用户信息失败:" << failure;
        if (callback)
            callback(false, failure, Models::User());
        return;
    }

    tokens()->saveUser(user);
    if (callback)
        callback(true, QStringLiteral("获取成功"), user);
    emit userInfoUpdated(user);
    qDebug() << "[AuthService] 用户信息获取成功:" << user.email;
}

} // namespace Norvane::Api::Services
