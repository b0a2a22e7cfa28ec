#include "api/security/TokenManager.h"

#include "api/security/CryptoUtil.h"
#include "api/storage/LocalStorage.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSysInfo>

namespace Norvane::Api::Security {

namespace {

const QString kTokenKey = QStringLiteral("auth_token");
const QString kUserKey = QStringLiteral("user_info");
const QString kDeviceIdKey = QStringLiteral("device_id");

Storage::LocalStorage *storage()
{
    return Storage::LocalStorage::instance();
}

Models::User restoreUser()
{
    const QString text = storage()->getString(kUserKey);
    if (text.isEmpty())
        return {};
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        qWarning() << "[TokenManager] 存储的用户信息无效:" << error.errorString();
        return {};
    }
    return Models::User::fromJson(document.object());
}

} // namespace

TokenManager *TokenManager::instance()
{
    static TokenManager manager;
    return &manager;
}

TokenManager::TokenManager()
    : m_token(storage()->getString(kTokenKey))
    , m_user(restoreUser())
    , m_deviceId(storage()->getString(kDeviceIdKey))
{
    qDebug() << "[TokenManager] 初始化完成, 已登录:" << isLoggedIn();
}

bool TokenManager::isLoggedIn() const
{
    return !m_token.isEmpty() && m_user.id > 0 && !m_user.email.isEmpty();
}

void TokenManager::login(const QString &token, const Models::User &user)
{
    m_token = token;
    storage()->setString(kTokenKey, token);
    qDebug() << "[TokenManager] Token已保存";
    emit tokenChanged();

    saveUser(user);

    qDebug() << "[TokenManager] 登录成功:" << user.email;
    emit loginStateChanged(true);
}

void TokenManager::saveUser(const Models::User &user)
{
    m_user = user;
    storage()->setString(kUserKey, QString::fromUtf8(
                                       QJsonDocument(user.toJson()).toJson(QJsonDocument::Compact)));
    qDebug() << "[TokenManager] 用户信息已保存:" << user.email;
    emit userChanged();
}

void TokenManager::logout()
{
    m_token.clear();
    storage()->remove(kTokenKey);
    qDebug() << "[TokenManager] Token已清除";
    emit tokenChanged();

    m_user = Models::User();
    storage()->remove(kUserKey);
    qDebug() << "[TokenManager] 用户信息已清除";
    emit userChanged();

    qDebug() << "[TokenManager] 已登出";
    emit loginStateChanged(false);
}

QString TokenManager::getDeviceId()
{
    if (m_deviceId.isEmpty())
        m_deviceId = storage()->getString(kDeviceIdKey);
    if (m_deviceId.isEmpty()) {
        m_deviceId = CryptoUtil::generateDeviceId();
        storage()->setString(kDeviceIdKey, m_deviceId);
        qDebug() << "[TokenManager] 生成新设备ID:" << m_deviceId;
    }
    return m_deviceId;
}

QString TokenManager::getDeviceName() const
{
    const QString name = QSysInfo::machineHostName();
    return name.isEmpty() ? QStringLiteral("Windows PC") : name;
}

void TokenManager::saveVpnEncryptConfig(const QString &key, bool enabled)
{
    storage()->setString(QStringLiteral("vpn_encrypt_key"), key);
    storage()->setBool(QStringLiteral("vpn_encrypt_enabled"), enabled);
    qDebug() << "[TokenManager] VPN加密配置已保存, 启用:" << enabled;
}

void TokenManager::saveApiEncryptConfig(const QString &secret, bool enabled)
{
    storage()->setString(QStringLiteral("api_secret_key"), secret);
    storage()->setBool(QStringLiteral("api_encrypt_enabled"), enabled);
    qDebug() << "[TokenManager] API加密配置已保存, 启用:" << enabled;
}

QString TokenManager::getVpnEncryptKey() const
{
    return storage()->getString(QStringLiteral("vpn_encrypt_key"));
}

} // namespace Norvane::Api::Security
