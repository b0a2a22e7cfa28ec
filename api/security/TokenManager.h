#pragma once

#include "api/models/User.h"

#include <QObject>
#include <QString>

namespace Norvane::Api::Security {

// Holds the login state (token, current user, device id) and mirrors it into the settings store.
class TokenManager : public QObject
{
    Q_OBJECT

public:
    static TokenManager *instance();

    QString token() const { return m_token; }
    Models::User getUser() const { return m_user; }
    bool isLoggedIn() const;

    void login(const QString &token, const Models::User &user);
    void saveUser(const Models::User &user);
    void logout();

    QString getDeviceId();
    QString getDeviceName() const;

    void saveVpnEncryptConfig(const QString &key, bool enabled);
    void saveApiEncryptConfig(const QString &secret, bool enabled);
    QString getVpnEncryptKey() const;

signals:
    void tokenChanged();
    void userChanged();
    void loginStateChanged(bool loggedIn);

private:
    TokenManager();

    QString m_token;
    Models::User m_user;
    QString m_deviceId;
};

} // namespace Norvane::Api::Security
