#pragma once

#include "api/models/User.h"

#include <QObject>
#include <QString>

#include <functional>

namespace Norvane::Api {

// Entry object of the back end: brings up the core services, restores a stored login,
// forwards the account operations with their clean-up and answers who may connect.
class ApiManager : public QObject
{
    Q_OBJECT

public:
    using InitializeCallback = std::function<void(bool success)>;
    using UserCallback =
        std::function<void(bool success, const QString &message, const Models::User &user)>;
    using LogoutCallback = std::function<void(bool success, const QString &message)>;

    static ApiManager *instance();
    ~ApiManager() override;

    void initialize(InitializeCallback callback = {});
    void login(const QString &email, const QString &password, UserCallback callback = {});
    void registerUser(const QString &email, const QString &password, const QString &name,
                      const QString &refferCode, UserCallback callback = {});
    Q_INVOKABLE void loginUser(const QString &email, const QString &password);
    void logout(LogoutCallback callback = {});

    bool isLoggedIn() const;
    Models::User currentUser() const;
    bool canConnect() const;

signals:
    void loginError(const QString &message);
    void initialized(bool success);
    void loginStateChanged(bool loggedIn);
    void authenticationRequired();
    void maintenanceModeEntered();
    void networkError(const QString &message);

private:
    ApiManager();
    void restoreLoginState();
};

} // namespace Norvane::Api
