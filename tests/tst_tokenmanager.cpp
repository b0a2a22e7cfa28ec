#include "api/models/User.h"
#include "api/security/TokenManager.h"
#include "api/storage/LocalStorage.h"
#include "support/StateProbe.h"
#include "support/TestEnvironment.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QTest>

using Norvane::Api::Models::User;
using Norvane::Api::Security::TokenManager;
using Norvane::Api::Storage::LocalStorage;

namespace {

User sampleUser(int id = 5, const QString &email = "user@example.com")
{
    User user;
    user.id = id;
    user.email = email;
    user.name = "张三";
    user.status = "active";
    return user;
}

} // namespace

class TokenManagerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void loginStoresAndSignalsInOrder();
    void userWithoutIdOrEmailIsLoggedOut_data();
    void userWithoutIdOrEmailIsLoggedOut();
    void logoutKeepsDeviceId();
    void encryptionSettingsAreStored();
    void deviceName();
    void restartRestoresWhatWasStored();
    void restoreTable_data();
    void restoreTable();

private:
    QStringList m_events;
};

void TokenManagerTest::initTestCase()
{
    TestEnvironment::isolate();
    TokenManager *manager = TokenManager::instance();
    QVERIFY(!manager->isLoggedIn());
    connect(manager, &TokenManager::tokenChanged, this, [this]() { m_events << "tokenChanged"; });
    connect(manager, &TokenManager::userChanged, this, [this]() { m_events << "userChanged"; });
    connect(manager, &TokenManager::loginStateChanged, this,
            [this](bool loggedIn) { m_events << QStringLiteral("loginStateChanged(%1)").arg(loggedIn); });
}

void TokenManagerTest::loginStoresAndSignalsInOrder()
{
    m_events.clear();
    TokenManager *manager = TokenManager::instance();
    manager->login("tok-1", sampleUser());

    QCOMPARE(m_events, QStringList({"tokenChanged", "userChanged", "loginStateChanged(1)"}));
    QVERIFY(manager->isLoggedIn());
    QCOMPARE(manager->token(), QStringLiteral("tok-1"));
    QCOMPARE(manager->getUser().name, QStringLiteral("张三"));
    QCOMPARE(LocalStorage::instance()->getString("auth_token"), QStringLiteral("tok-1"));
    QCOMPARE(LocalStorage::instance()->getString("user_info"),
             QString::fromUtf8(QJsonDocument(sampleUser().toJson()).toJson(QJsonDocument::Compact)));
}

void TokenManagerTest::userWithoutIdOrEmailIsLoggedOut_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("email");
    QTest::addColumn<bool>("loggedIn");

    QTest::newRow("complete") << 9 << "a@b.c" << true;
    QTest::newRow("id 0") << 0 << "a@b.c" << false;
    QTest::newRow("negative id") << -1 << "a@b.c" << false;
    QTest::newRow("empty email") << 9 << "" << false;
}

void TokenManagerTest::userWithoutIdOrEmailIsLoggedOut()
{
    QFETCH(int, id);
    QFETCH(QString, email);
    QFETCH(bool, loggedIn);

    TokenManager *manager = TokenManager::instance();
    manager->login("tok-2", sampleUser());
    m_events.clear();
    manager->saveUser(sampleUser(id, email));
    QCOMPARE(m_events, QStringList({"userChanged"}));
    QCOMPARE(manager->isLoggedIn(), loggedIn);
    QCOMPARE(manager->token(), QStringLiteral("tok-2"));
}

void TokenManagerTest::logoutKeepsDeviceId()
{
    TokenManager *manager = TokenManager::instance();
    manager->login("tok-3", sampleUser());
    const QString deviceId = manager->getDeviceId();
    QVERIFY(QRegularExpression("^windows_[0-9a-f]{32}$").match(deviceId).hasMatch());
    QCOMPARE(manager->getDeviceId(), deviceId);

    m_events.clear();
    manager->logout();
    QCOMPARE(m_events, QStringList({"tokenChanged", "userChanged", "loginStateChanged(0)"}));
    QVERIFY(!manager->isLoggedIn());
    QVERIFY(manager->token().isEmpty());
    QCOMPARE(manager->getUser().id, 0);
    QCOMPARE(LocalStorage::instance()->getString("auth_token", "absent"), QStringLiteral("absent"));
    QCOMPARE(LocalStorage::instance()->getString("user_info", "absent"), QStringLiteral("absent"));
    QCOMPARE(LocalStorage::instance()->getString("device_id"), deviceId);
    QCOMPARE(manager->getDeviceId(), deviceId);
}

void TokenManagerTest::encryptionSettingsAreStored()
{
    TokenManager *manager = TokenManager::instance();
    manager->saveVpnEncryptConfig("link-key", true);
    manager->saveApiEncryptConfig("reply-secret", true);
    QCOMPARE(manager->getVpnEncryptKey(), QStringLiteral("link-key"));
    QCOMPARE(LocalStorage::instance()->getString("vpn_encrypt_enabled"), QStringLiteral("true"));
    QCOMPARE(LocalStorage::instance()->getString("api_secret_key"), QStringLiteral("reply-secret"));
    QCOMPARE(LocalStorage::instance()->getString("api_encrypt_enabled"), QStringLiteral("true"));

    manager->saveVpnEncryptConfig(QString(), false);
    QCOMPARE(manager->getVpnEncryptKey(), QString());
    QCOMPARE(LocalStorage::instance()->getString("vpn_encrypt_key", "absent"), QString());
}

void TokenManagerTest::deviceName()
{
    QVERIFY(!TokenManager::instance()->getDeviceName().isEmpty());
}

void TokenManagerTest::restartRestoresWhatWasStored()
{
    User user = sampleUser(12, "restart@example.com");
    user.isVip = true;
    user.vipExpiresAt = QDateTime::fromString("2031-01-02T03:04:05Z", Qt::ISODate);
    const QString json = QString::fromUtf8(QJsonDocument(user.toJson()).toJson(QJsonDocument::Compact));
    QCOMPARE(StateProbe::run({"login", "tok-restart", json}), 0);

    const QJsonObject first = StateProbe::dump();
    QCOMPARE(first.value("token").toString(), QStringLiteral("tok-restart"));
    QVERIFY(first.value("logged_in").toBool());
    QCOMPARE(first.value("user").toObject(), user.toJson());

    // The device id is made once and read back by every later run.
    const QString deviceId = first.value("device_id").toString();
    QVERIFY(deviceId.startsWith("windows_"));
    QCOMPARE(StateProbe::dump().value("device_id").toString(), deviceId);
}

void TokenManagerTest::restoreTable_data()
{
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("userInfo");
    QTest::addColumn<bool>("loggedIn");

    QTest::newRow("token without user") << "tok" << "" << false;
    QTest::newRow("user text not json") << "tok" << "{broken" << false;
    QTest::newRow("user json array") << "tok" << "[1]" << false;
    QTest::newRow("user without email") << "tok" << R"({"id":3})" << false;
    QTest::newRow("complete") << "tok" << R"({"id":3,"email":"x@y.z"})" << true;
    QTest::newRow("user without token") << "" << R"({"id":3,"email":"x@y.z"})" << false;
}

void TokenManagerTest::restoreTable()
{
    QFETCH(QString, token);
    QFETCH(QString, userInfo);
    QFETCH(bool, loggedIn);

    QCOMPARE(StateProbe::run({"set", "auth_token", token}), 0);
    QCOMPARE(StateProbe::run({"set", "user_info", userInfo}), 0);
    const QJsonObject state = StateProbe::dump();
    QCOMPARE(state.value("token").toString(), token);
    QCOMPARE(state.value("logged_in").toBool(), loggedIn);
}

QTEST_GUILESS_MAIN(TokenManagerTest)
#include "tst_tokenmanager.moc"
