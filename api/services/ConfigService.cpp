#include "api/services/ConfigService.h"

#include "api/network/HttpClient.h"
#include "api/security/TokenManager.h"
#include "api/storage/LocalStorage.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonParseError>

namespace Norvane::Api::Services {

namespace {

const QString kCacheKey = QStringLiteral("cached_configs");
const QString kInvalidReply = QStringLiteral("响应数据无效");
const QString kLoginChanged = QStringLiteral("登录状态已变更");

Network::HttpClient *client()
{
    return Network::HttpClient::instance();
}

bool isCompleteUser(const Models::User &user)
{
    return user.id > 0 && !user.email.isEmpty();
}

} // namespace

ConfigService *ConfigService::instance()
{
    static ConfigService service;
    return &service;
}

ConfigService::ConfigService()
{
    loadCachedConfig();
    qDebug() << "[ConfigService] 初始化完成";
}

void ConfigService::loadCachedConfig()
{
    const QString text = Storage::LocalStorage::instance()->getString(kCacheKey);
    if (text.isEmpty())
        return;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        qWarning() << "[ConfigService] 缓存的配置无效, 已忽略:" << error.errorString();
        return;
    }
    m_config = Models::SystemConfig::fromJson(document.object());
    if (m_config.items.isEmpty())
        return;
    applyEncryptionConfig();
    qDebug() << "[ConfigService] 从缓存加载配置成功";
}

void ConfigService::applyEncryptionConfig()
{
    Security::TokenManager *tokens = Security::TokenManager::instance();
    tokens->saveVpnEncryptConfig(m_config.vpnEncryptKey, m_config.vpnEncryptEnabled);
    tokens->saveApiEncryptConfig(m_config.apiSecretKey, m_config.apiEncryptEnabled);
    client()->setApiEncryption(m_config.apiEncryptEnabled, m_config.apiSecretKey);
    qDebug() << "[ConfigService] 加密配置已应用"
             << "- VPN加密:" << m_config.vpnEncryptEnabled
             << "- API加密:" << m_config.apiEncryptEnabled;
}

void ConfigService::initialize(InitializeCallback callback)
{
    qDebug() << "[ConfigService] 开始初始化";
    getConfigs([callback = std::move(callback)](bool success, const QString &,
                                                const Models::SystemConfig &) {
        if (callback)
            callback(success);
    });
}

void ConfigService::getConfigs(ConfigCallback callback)
{
    qDebug() << "[ConfigService] 获取系统配置";
    client()->getNoAuth(QStringLiteral("configs"),
                        [this, callback = std::move(callback)](const Network::ApiResponse &response) {
                            handleConfigReply(response, callback);
                        });
}

void ConfigService::handleConfigReply(const Network::ApiResponse &response,
                                      const ConfigCallback &callback)
{
    const QJsonValue data = response.json.value(QStringLiteral("data"));
    if (!response.isSuccess() || !data.isObject()) {
        QString failure = response.errorMessage();
        if (response.isSuccess()) {
            // Only a configuration object may replace what is in force.
            failure = kInvalidReply;
            qWarning() << "[ConfigService] 配置响应的data不是对象, 保留当前配置";
        }
        if (callback)
            callback(false, failure, Models::SystemConfig());
        qDebug() << "[ConfigService] 获取系统配置失败:" << failure;
        return;
    }

    const QJsonObject object = data.toObject();
    m_config = Models::SystemConfig::fromJson(object);
    Storage::LocalStorage::instance()->setString(
        kCacheKey, QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
    applyEncryptionConfig();
    if (m_config.maintenanceMode)
        emit maintenanceModeEntered();
    if (callback)
        callback(true, QStringLiteral("获取成功"), m_config);
    emit configUpdated(m_config);
    qDebug() << "[ConfigService] 系统配置获取成功, 应用名:" << m_config.appName;
}

void ConfigService::getTrialStatus(TrialStatusCallback callback)
{
    qDebug() << "[ConfigService] 获取体验状态";
    client()->get(QStringLiteral("trial/status"),
                  [callback = std::move(callback)](const Network::ApiResponse &response) {
                      if (!callback)
                          return;
                      if (response.isSuccess())
                          callback(true, QStringLiteral("获取成功"),
                                   Models::TrialStatus::fromJson(
                                       response.json.value(QStringLiteral("data")).toObject()));
                      else
                          callback(false, response.errorMessage(), Models::TrialStatus());
                  });
}

void ConfigService::activateFreeTrial(UserCallback callback)
{
    static const TrialTexts texts{"[ConfigService] 激活免费体验", "[ConfigService] 免费体验激活成功",
                                  "[ConfigService] 激活免费体验失败:"};
    activateTrial(QStringLiteral("trial/activate-free"), texts, std::move(callback));
}

void ConfigService::activateVipTrial(UserCallback callback)
{
    static const TrialTexts texts{"[ConfigService] 激活VIP体验", "[ConfigService] VIP体验激活成功",
                                  "[ConfigService] 激活VIP体验失败:"};
    activateTrial(QStringLiteral("trial/activate-vip"), texts, std::move(callback));
}

void ConfigService::activateTrial(const QString &endpoint, const TrialTexts &texts,
                                  UserCallback callback)
{
    qDebug() << texts.started;
    const QString sentToken = client()->authToken();
    client()->post(endpoint, QJsonObject(),
                   [this, sentToken, texts,
                    callback = std::move(callback)](const Network::ApiResponse &response) {
                       handleTrialReply(response, sentToken, texts, callback);
                   });
}

void ConfigService::handleTrialReply(const Network::ApiResponse &response, const QString &sentToken,
                                     const TrialTexts &texts, const UserCallback &callback)
{
    if (sentToken != Security::TokenManager::instance()->token()) {
        // Logged out or in as someone else meanwhile: this record belongs to an ended login.
        qWarning() << "[ConfigService] 登录状态已变更, 丢弃过期的体验激活响应";
        if (callback)
            callback(false, kLoginChanged, Models::User());
        qDebug() << texts.failed << kLoginChanged;
        return;
    }

    const Models::User user =
        Models::User::fromJson(response.json.value(QStringLiteral("data")).toObject());
    if (response.isSuccess() && isCompleteUser(user)) {
        Security::TokenManager::instance()->saveUser(user);
        if (callback)
            callback(true, response.json.value(QStringLiteral("message")).toString(), user);
        emit trialActivated(user);
        qDebug() << texts.succeeded;
        return;
    }

    QString failure = response.errorMessage();
    if (response.isSuccess()) {
        // A reply without a usable record must not replace the stored user.
        failure = kInvalidReply;
        qWarning() << "[ConfigService] 体验激活响应数据无效, 保留已存储的用户";
    }
    if (callback)
        callback(false, failure, Models::User());
    qDebug() << texts.failed << failure;
}

} // namespace Norvane::Api::Services
