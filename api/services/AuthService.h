#pragma once

#include "api/models/User.h"
#include "api/network/ApiResponse.h"

#include <QObject>
#include <QString>

#include <functional>

namespace Norvane::Api::Services {

// Signs the user in, up and out, and fetches the current user record.
class AuthService : public QObject
{
    Q_OBJECT

public:
    using UserCallback =
        std::function<void(bool success, const QString &message, const Models::User &user)>;
    using LogoutCallback = std::function<void(bool success, const QString &message)>;

    static AuthService *instance();

    void login(const QString &email, const QString &password, UserCallback callback = {});
    void registerUser(const QString &email, const QString &password, const QString &name,
                      const QString &refferCode, UserCallback callback = {});
    void logout(LogoutCallback callback = {});
    void getCurrentUser(UserCallback callback = {});
    void refreshUserInfo(UserCallback callback = {});

signals:
    void loginSuccess(const Models::User &user);
    void loginFailed(const QString &message);
    void registerSuccess(const Models::User &user);
    void registerFailed(const QString &message);
    void logoutSuccess();
    void userInfoUpdated(const Models::User &user);
    void authenticationRequired();

private:
    using SuccessSignal = void (AuthService::*)(const Models::User &);
    using FailureSignal = void (AuthService::*)(const QString &);

    AuthService();

    void handleAuthReply(const Network::ApiResponse &response, const UserCallback &callback,
                         SuccessSignal succeeded, FailureSignal failed);
    void handleCurrentUserReply(const Network::ApiResponse &response, const QString &sentToken,
                                const UserCallback &callback);
};

} // namespace Norvane::Api::Services
