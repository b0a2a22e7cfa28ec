#include "api/models/SystemConfig.h"

#include <QJsonValue>

namespace Norvane::Api::Models {

SystemConfig SystemConfig::fromJson(const QJsonObject &data)
{
    SystemConfig config;
    for (auto it = data.constBegin(); it != data.constEnd(); ++it) {
        if (it.value().isObject())
            config.items.insert(it.key(), ConfigItem::fromJson(it.value().toObject()));
    }

    config.appName = config.getString(QStringLiteral("app_name"), QStringLiteral("Norvane加速器"));
    config.appVersion = config.getString(QStringLiteral("app_version"), QStringLiteral("1.0.0"));
    config.siteName = config.getString(QStringLiteral("site_name"), QStringLiteral("Norvane VPN"));
    config.freeTrialEnabled = config.getBool(QStringLiteral("free_trial_enabled"), false);
    config.freeTrialDuration = config.getInt(QStringLiteral("free_trial_duration"), 0);
    config.freeTrialMaxCount = config.getInt(QStringLiteral("free_trial_max_count"), 0);
    config.vipTrialEnabled = config.getBool(QStringLiteral("vip_trial_enabled"), false);
    config.vipTrialDuration = config.getInt(QStringLiteral("vip_trial_duration"), 0);
    config.maintenanceMode = config.getBool(QStringLiteral("maintenance_mode"), false);
    config.enableRegistration = config.getBool(QStringLiteral("enable_registration"), true);
    config.maxDevices = config.getInt(QStringLiteral("max_devices"), 3);
    config.freeMaxDevices = config.getInt(QStringLiteral("free_max_devices"), 1);
    config.vpnEncryptEnabled = config.getBool(QStringLiteral("vpn_encrypt_enabled"), false);
    config.vpnEncryptKey = config.getString(QStringLiteral("vpn_encrypt_key"), QString());
    config.apiEncryptEnabled = config.getBool(QStringLiteral("api_encrypt_enabled"), false);
    config.apiSecretKey = config.getString(QStringLiteral("api_secret_key"), QString());
    config.tlsCertPinningEnabled = config.getBool(QStringLiteral("tls_cert_pinning_enabled"), false);
    config.tlsCertFingerprints = config.getString(QStringLiteral("tls_cert_fingerprints"), QString());
    config.downloadFileAndroid = config.getString(QStringLiteral("download_file_android"), QString());
    config.downloadFileIos = config.getString(QStringLiteral("download_file_ios"), QString());
    config.downloadFileWindows = config.getString(QStringLiteral("download_file_windows"), QString());
    config.downloadFileMacos = config.getString(QStringLiteral("download_file_macos"), QString());
    return config;
}

bool SystemConfig::getBool(const QString &key, bool defaultValue) const
{
    const auto it = items.constFind(key);
    return it == items.constEnd() ? defaultValue : it->value.toBool();
}

int SystemConfig::getInt(const QString &key, int defaultValue) const
{
    const auto it = items.constFind(key);
    return it == items.constEnd() ? defaultValue : it->value.toInt();
}

// Unlike the other getters, an empty text counts as "not configured".
QString SystemConfig::getString(const QString &key, const QString &defaultValue) const
{
    const auto it = items.constFind(key);
    if (it == items.constEnd())
        return defaultValue;
    const QString text = it->value.toString();
    return text.isEmpty() ? defaultValue : text;
}

} // namespace Norvane::Api::Models
