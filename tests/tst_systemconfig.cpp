#include "api/models/ConfigItem.h"
#include "api/models/SystemConfig.h"
#include "api/models/TrialStatus.h"

#include <QJsonDocument>
#include <QtTest>

using Norvane::Api::Models::ConfigItem;
using Norvane::Api::Models::SystemConfig;
using Norvane::Api::Models::TrialStatus;

namespace {

QJsonObject parse(const QByteArray &text)
{
    return QJsonDocument::fromJson(text).object();
}

// The named setting a configuration key feeds, read back from the record's field.
QVariant namedSetting(const SystemConfig &c, const QString &key)
{
    const QMap<QString, QVariant> fields{
        {"app_name", c.appName},
        {"app_version", c.appVersion},
        {"site_name", c.siteName},
        {"free_trial_enabled", c.freeTrialEnabled},
        {"free_trial_duration", c.freeTrialDuration},
        {"free_trial_max_count", c.freeTrialMaxCount},
        {"vip_trial_enabled", c.vipTrialEnabled},
        {"vip_trial_duration", c.vipTrialDuration},
        {"maintenance_mode", c.maintenanceMode},
        {"enable_registration", c.enableRegistration},
        {"max_devices", c.maxDevices},
        {"free_max_devices", c.freeMaxDevices},
        {"vpn_encrypt_enabled", c.vpnEncryptEnabled},
        {"vpn_encrypt_key", c.vpnEncryptKey},
        {"api_encrypt_enabled", c.apiEncryptEnabled},
        {"api_secret_key", c.apiSecretKey},
        {"tls_cert_pinning_enabled", c.tlsCertPinningEnabled},
        {"tls_cert_fingerprints", c.tlsCertFingerprints},
        {"download_file_android", c.downloadFileAndroid},
        {"download_file_ios", c.downloadFileIos},
        {"download_file_windows", c.downloadFileWindows},
        {"download_file_macos", c.downloadFileMacos},
    };
    return fields.value(key);
}

} // namespace

class TestSystemConfig : public QObject
{
    Q_OBJECT

private slots:
    void configItemValueFollowsType_data();
    void configItemValueFollowsType();
    void configItemReadsTexts();
    void newRecordDefaults();
    void emptyDataGivesReadDefaults();
    void namedSettingFromItems_data();
    void namedSettingFromItems();
    void onlyObjectMembersBecomeItems();
    void gettersUseDefaultForAbsentKey();
    void newTrialStatusIsEmpty();
    void trialStatusReadsEveryMember();
    void trialNotObjectStillReadsVipAndStatus();
};

void TestSystemConfig::configItemValueFollowsType_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("boolean true") << QByteArray(R"({"type": "boolean", "value": true})") << QVariant(true);
    QTest::newRow("boolean from text") << QByteArray(R"({"type": "boolean", "value": "true"})") << QVariant(false);
    QTest::newRow("boolean from number") << QByteArray(R"({"type": "boolean", "value": 1})") << QVariant(false);
    QTest::newRow("number") << QByteArray(R"({"type": "number", "value": 2.5})") << QVariant(2.5);
    QTest::newRow("number from text") << QByteArray(R"({"type": "number", "value": "5"})") << QVariant(0.0);
    QTest::newRow("json object") << QByteArray(R"({"type": "json", "value": {"a": 1}})")
                                 << QVariant(QJsonObject{{"a", 1}});
    QTest::newRow("json from array") << QByteArray(R"({"type": "json", "value": [1]})") << QVariant(QJsonObject());
    QTest::newRow("string") << QByteArray(R"({"type": "string", "value": "abc"})") << QVariant(QString("abc"));
    QTest::newRow("no type, number value") << QByteArray(R"({"value": 3})") << QVariant(QString());
    QTest::newRow("Boolean is not boolean") << QByteArray(R"({"type": "Boolean", "value": true})")
                                            << QVariant(QString());
}

void TestSystemConfig::configItemValueFollowsType()
{
    QFETCH(QByteArray, json);
    QFETCH(QVariant, expected);

    const ConfigItem item = ConfigItem::fromJson(parse(json));
    QCOMPARE(item.value.metaType(), expected.metaType());
    QCOMPARE(item.value, expected);
}

void TestSystemConfig::configItemReadsTexts()
{
    const ConfigItem item = ConfigItem::fromJson(
        parse(R"({"name": "应用名", "description": 7, "type": "string", "value": "x"})"));
    QCOMPARE(item.name, QString("应用名"));
    QVERIFY(item.description.isEmpty());
    QCOMPARE(item.type, QString("string"));
}

void TestSystemConfig::newRecordDefaults()
{
    const SystemConfig config;
    QVERIFY(config.appName.isEmpty());
    QVERIFY(config.appVersion.isEmpty());
    QVERIFY(config.siteName.isEmpty());
    QVERIFY(config.enableRegistration);
    QCOMPARE(config.maxDevices, 3);
    QCOMPARE(config.freeMaxDevices, 1);
    QVERIFY(!config.maintenanceMode);
    QVERIFY(config.items.isEmpty());
}

void TestSystemConfig::emptyDataGivesReadDefaults()
{
    const SystemConfig config = SystemConfig::fromJson(QJsonObject());
    QCOMPARE(config.appName, QStringLiteral("Norvane加速器"));
    QCOMPARE(config.appVersion, QString("1.0.0"));
    QCOMPARE(config.siteName, QString("Norvane VPN"));
    QVERIFY(config.enableRegistration);
    QCOMPARE(config.maxDevices, 3);
    QCOMPARE(config.freeMaxDevices, 1);
    QVERIFY(!config.freeTrialEnabled);
    QVERIFY(!config.maintenanceMode);
    QVERIFY(!config.apiEncryptEnabled);
    QVERIFY(config.vpnEncryptKey.isEmpty());
    QVERIFY(config.items.isEmpty());
}

void TestSystemConfig::namedSettingFromItems_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("item");
    QTest::addColumn<QVariant>("expected");

    const QByteArray text = R"({"type": "string", "value": "v"})";
    const QByteArray on = R"({"type": "boolean", "value": true})";
    const QByteArray seven = R"({"type": "number", "value": 7})";

    // Every key reaches its own field.
    QTest::newRow("app_name") << "app_name" << text << QVariant("v");
    QTest::newRow("app_version") << "app_version" << text << QVariant("v");
    QTest::newRow("site_name") << "site_name" << text << QVariant("v");
    QTest::newRow("free_trial_enabled") << "free_trial_enabled" << on << QVariant(true);
    QTest::newRow("free_trial_duration") << "free_trial_duration" << seven << QVariant(7);
    QTest::newRow("free_trial_max_count") << "free_trial_max_count" << seven << QVariant(7);
    QTest::newRow("vip_trial_enabled") << "vip_trial_enabled" << on << QVariant(true);
    QTest::newRow("vip_trial_duration") << "vip_trial_duration" << seven << QVariant(7);
    QTest::newRow("maintenance_mode") << "maintenance_mode" << on << QVariant(true);
    QTest::newRow("free_max_devices") << "free_max_devices" << seven << QVariant(7);
    QTest::newRow("vpn_encrypt_enabled") << "vpn_encrypt_enabled" << on << QVariant(true);
    QTest::newRow("vpn_encrypt_key") << "vpn_encrypt_key" << text << QVariant("v");
    QTest::newRow("api_encrypt_enabled") << "api_encrypt_enabled" << on << QVariant(true);
    QTest::newRow("api_secret_key") << "api_secret_key" << text << QVariant("v");
    QTest::newRow("tls_cert_pinning_enabled") << "tls_cert_pinning_enabled" << on << QVariant(true);
    QTest::newRow("tls_cert_fingerprints") << "tls_cert_fingerprints" << text << QVariant("v");
    QTest::newRow("download_file_android") << "download_file_android" << text << QVariant("v");
    QTest::newRow("download_file_ios") << "download_file_ios" << text << QVariant("v");
    QTest::newRow("download_file_windows") << "download_file_windows" << text << QVariant("v");
    QTest::newRow("download_file_macos") << "download_file_macos" << text << QVariant("v");

    // Present false or 0 overrides a default; an empty text does not.
    QTest::newRow("max_devices 5") << "max_devices" << QByteArray(R"({"type": "number", "value": 5})") << QVariant(5);
    QTest::newRow("max_devices 0") << "max_devices" << QByteArray(R"({"type": "number", "value": 0})") << QVariant(0);
    QTest::newRow("max_devices non-numeric text")
        << "max_devices" << QByteArray(R"({"type": "string", "value": "many"})") << QVariant(0);
    QTest::newRow("enable_registration false")
        << "enable_registration" << QByteArray(R"({"type": "boolean", "value": false})") << QVariant(false);
    QTest::newRow("enable_registration Boolean")
        << "enable_registration" << QByteArray(R"({"type": "Boolean", "value": true})") << QVariant(false);
    QTest::newRow("maintenance_mode number 2")
        << "maintenance_mode" << QByteArray(R"({"type": "number", "value": 2})") << QVariant(true);
    QTest::newRow("app_name empty text")
        << "app_name" << QByteArray(R"({"type": "string", "value": ""})") << QVariant(QStringLiteral("Norvane加速器"));
    QTest::newRow("app_version boolean")
        << "app_version" << QByteArray(R"({"type": "boolean", "value": false})") << QVariant("false");
    QTest::newRow("site_name json object")
        << "site_name" << QByteArray(R"({"type": "json", "value": {"a": 1}})") << QVariant("Norvane VPN");
}

void TestSystemConfig::namedSettingFromItems()
{
    QFETCH(QString, key);
    QFETCH(QByteArray, item);
    QFETCH(QVariant, expected);

    const SystemConfig config = SystemConfig::fromJson(QJsonObject{{key, parse(item)}});
    QVERIFY(config.items.contains(key));
    QCOMPARE(namedSetting(config, key), expected);
}

void TestSystemConfig::onlyObjectMembersBecomeItems()
{
    const SystemConfig config = SystemConfig::fromJson(parse(R"({
        "app_name": "Plain",
        "max_devices": 9,
        "site_name": {"type": "string", "value": "Site"}})"));
    QCOMPARE(config.items.keys(), QStringList{"site_name"});
    QCOMPARE(config.appName, QStringLiteral("Norvane加速器"));
    QCOMPARE(config.maxDevices, 3);
    QCOMPARE(config.siteName, QString("Site"));
}

void TestSystemConfig::gettersUseDefaultForAbsentKey()
{
    const SystemConfig config = SystemConfig::fromJson(parse(R"({"k": {"type": "number", "value": 0}})"));
    QCOMPARE(config.getBool("absent", true), true);
    QCOMPARE(config.getInt("absent", 11), 11);
    QCOMPARE(config.getString("absent", "fallback"), QString("fallback"));
    QCOMPARE(config.getBool("k", true), false);
    QCOMPARE(config.getInt("k", 11), 0);
    QCOMPARE(config.getString("k", "fallback"), QString("0"));
}

void TestSystemConfig::newTrialStatusIsEmpty()
{
    const TrialStatus status = TrialStatus::fromJson(QJsonObject());
    QVERIFY(!status.trial.enabled);
    QVERIFY(!status.trial.available);
    QVERIFY(!status.trial.used);
    QVERIFY(status.trial.expiresAt.isEmpty());
    QCOMPARE(status.trial.hoursTotal, 0);
    QCOMPARE(status.trial.hoursUsed, 0.0);
    QCOMPARE(status.trial.hoursRemaining, 0.0);
    QVERIFY(!status.vip.enabled);
    QVERIFY(!status.vip.isVip);
    QVERIFY(status.vip.expiresAt.isEmpty());
    QCOMPARE(status.vip.daysRemaining, 0);
    QVERIFY(status.accountStatus.isEmpty());
}

void TestSystemConfig::trialStatusReadsEveryMember()
{
    const TrialStatus status = TrialStatus::fromJson(parse(R"({
        "trial": {"enabled": true, "available": true, "used": true,
                  "expires_at": "2030-01-01T00:00:00.123+08:00",
                  "hours_total": 2, "hours_used": 0.5, "hours_remaining": 1.5},
        "vip": {"enabled": true, "is_vip": true, "expires_at": "2031-01-01", "days_remaining": 30},
        "account_status": "active"})"));
    QVERIFY(status.trial.enabled);
    QVERIFY(status.trial.available);
    QVERIFY(status.trial.used);
    QCOMPARE(status.trial.expiresAt, QString("2030-01-01T00:00:00.123+08:00"));
    QCOMPARE(status.trial.hoursTotal, 2);
    QCOMPARE(status.trial.hoursUsed, 0.5);
    QCOMPARE(status.trial.hoursRemaining, 1.5);
    QVERIFY(status.vip.enabled);
    QVERIFY(status.vip.isVip);
    QCOMPARE(status.vip.expiresAt, QString("2031-01-01"));
    QCOMPARE(status.vip.daysRemaining, 30);
    QCOMPARE(status.accountStatus, QString("active"));
}

void TestSystemConfig::trialNotObjectStillReadsVipAndStatus()
{
    const TrialStatus status = TrialStatus::fromJson(parse(R"({
        "trial": "enabled",
        "vip": {"enabled": 1, "is_vip": true, "expires_at": null, "days_remaining": 3},
        "account_status": "suspended"})"));
    QVERIFY(!status.trial.enabled);
    QVERIFY(!status.trial.available);
    QCOMPARE(status.trial.hoursTotal, 0);
    QVERIFY(!status.vip.enabled);
    QVERIFY(status.vip.isVip);
    QVERIFY(status.vip.expiresAt.isEmpty());
    QCOMPARE(status.vip.daysRemaining, 3);
    QCOMPARE(status.accountStatus, QString("suspended"));
}

QTEST_GUILESS_MAIN(TestSystemConfig)
#include "tst_systemconfig.moc"
