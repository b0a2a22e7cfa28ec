#pragma once

#include "api/models/SystemConfig.h"
#include "api/models/TrialStatus.h"
#include "api/models/User.h"
#include "api/network/ApiResponse.h"

#include <QObject>
#include <QString>

#include <functional>

namespace Norvane::Api::Services {

// Fetches, caches and applies the back end's system configuration; reads and activates trials.
class ConfigService : public QObject
{
    Q_OBJECT

public:
    using InitializeCallback = std::function<void(bool success)>;
    using ConfigCallback = std::function<void(bool success, const QString &message,
                                              const Models::SystemConfig &config)>;
    using TrialStatusCallback = std::function<void(bool success, const QString &message,
                                                   const Models::TrialStatus &status)>;
    using UserCallback =
        std::function<void(bool success, const QString &message, const Models::User &user)>;

    static ConfigService *instance();

    void initialize(InitializeCallback callback = {});
    void getConfigs(ConfigCallback callback = {});
    void getTrialStatus(TrialStatusCallback callback = {});
    void activateFreeTrial(UserCallback callback = {});
    void activateVipTrial(UserCallback callback = {});

    bool isMaintenanceMode() const { return m_config.maintenanceMode; }
    Models::SystemConfig currentConfig() const { return m_config; }

signals:
    void configUpdated(const Models::SystemConfig &config);
    void trialActivated(const Models::User &user);
    void maintenanceModeEntered();

private:
    // The log texts of one kind of trial activation.
    struct TrialTexts
    {
        const char *started;
        const char *succeeded;
        const char *failed;
    };

    ConfigService();

    void loadCachedConfig();
    void applyEncryptionConfig();
    void handleConfigReply(const Network::ApiResponse &response, const ConfigCallback &callback);
    void activateTrial(const QString &endpoint, const TrialTexts &texts, UserCallback callback);
    // A reply to a request sent under another token than the current one is dropped.
    void handleTrialReply(const Network::ApiResponse &response, const QString &sentToken,
                          const TrialTexts &texts, const UserCallback &callback);

    Models::SystemConfig m_config;
};

} // namespace Norvane::Api::Services
