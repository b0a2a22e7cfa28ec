#pragma once

#include "api/models/ConfigItem.h"

#include <QJsonObject>
#include <QMap>
#include <QString>

namespace Norvane::Api::Models {

// The back end's remote configuration: every item by key, plus the settings
// the client reads from them.
struct SystemConfig
{
    QString appName;
    QString appVersion;
    QString siteName;
    bool freeTrialEnabled = false;
    int freeTrialDuration = 0;
    int freeTrialMaxCount = 0;
    bool vipTrialEnabled = false;
    int vipTrialDuration = 0;
    bool maintenanceMode = false;
    bool enableRegistration = true;
    int maxDevices = 3;
    int freeMaxDevices = 1;
    bool vpnEncryptEnabled = false;
    QString vpnEncryptKey;
    bool apiEncryptEnabled = false;
    QString apiSecretKey;
    bool tlsCertPinningEnabled = false;
    QString tlsCertFingerprints;
    QString downloadFileAndroid;
    QString downloadFileIos;
    QString downloadFileWindows;
    QString downloadFileMacos;
    QMap<QString, ConfigItem> items;

    static SystemConfig fromJson(const QJsonObject &data);

    bool getBool(const QString &key, bool defaultValue) const;
    int getInt(const QString &key, int defaultValue) const;
    QString getString(const QString &key, const QString &defaultValue) const;
};

} // namespace Norvane::Api::Models
