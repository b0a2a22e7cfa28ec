#pragma once

#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

namespace Norvane::Testing {

// Test double of the "API" bridge: exactly the adapter's QML interface (properties, signals
// and invokables, in the adapter's declaration order) and nothing else, so that a test can
// hold this meta-object against the real adapter's. Calls are only recorded; signals are
// emitted by the test.
class FakeQmlApiAdapter : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isLoggedIn READ isLoggedIn NOTIFY loginStateChanged)
    Q_PROPERTY(QString userEmail READ userEmail NOTIFY userInfoChanged)
    Q_PROPERTY(QString userName READ userName NOTIFY userInfoChanged)
    Q_PROPERTY(bool isVip READ isVip NOTIFY userInfoChanged)
    Q_PROPERTY(QString vipExpiresAt READ vipExpiresAt NOTIFY userInfoChanged)
    Q_PROPERTY(int vipDays READ vipDays NOTIFY userInfoChanged)
    Q_PROPERTY(int freeMinutes READ freeMinutes NOTIFY userInfoChanged)
    Q_PROPERTY(bool canConnect READ canConnect NOTIFY userInfoChanged)

public:
    explicit FakeQmlApiAdapter(QObject *parent = nullptr);

    bool isLoggedIn() const { return m_isLoggedIn; }
    QString userEmail() const { return m_userEmail; }
    QString userName() const { return m_userName; }
    bool isVip() const { return m_isVip; }
    QString vipExpiresAt() const { return m_vipExpiresAt; }
    int vipDays() const { return m_vipDays; }
    int freeMinutes() const { return m_freeMinutes; }
    bool canConnect() const { return m_canConnect; }

    Q_INVOKABLE void login(const QString &email, const QString &password);
    Q_INVOKABLE void registerUser(const QString &email, const QString &password, const QString &name,
                                  const QString &refferCode = QString());
    Q_INVOKABLE void logout();
    Q_INVOKABLE void refreshUserInfo();
    Q_INVOKABLE void getServers(const QString &tier = QString());
    Q_INVOKABLE void getServerById(int serverId);
    Q_INVOKABLE void getAnnouncements();
    Q_INVOKABLE void getUserOrders();
    Q_INVOKABLE void getSystemConfig();
    Q_INVOKABLE void activateFreeTrial();
    Q_INVOKABLE void activateVipTrial();
    Q_INVOKABLE void getTrialStatus();
    Q_INVOKABLE void createPayment(int planId, const QString &paymentMethod);
    Q_INVOKABLE void getPaymentStatus(const QString &orderNumber);
    Q_INVOKABLE void startPollingPayment(const QString &orderNumber);
    Q_INVOKABLE void stopPollingPayment();
    Q_INVOKABLE void getSubscriptionPlans();
    Q_INVOKABLE void sendHeartbeat(bool isConnected);
    Q_INVOKABLE void getHeartbeatStats();
    Q_INVOKABLE void setRoutingMode(int mode);
    Q_INVOKABLE bool connectVpn(int serverId, const QString &vmessLink, bool requiresVip);
    Q_INVOKABLE void disconnectVpn();
    Q_INVOKABLE int checkVpnPermission(int serverId, bool requiresVip);
    Q_INVOKABLE QString getVpnFailureReasonText(int reasonCode);
    Q_INVOKABLE void updateVpnTraffic(qlonglong uploadBytes, qlonglong downloadBytes);
    Q_INVOKABLE void updateVpnLatency(int latencyMs);

signals:
    void loginSuccess();
    void loginError(const QString &message);
    void loginStateChanged(bool loggedIn);
    void userInfoChanged();
    void serversLoaded(const QVariantList &servers);
    void serversError(const QString &message);
    void serverDetailLoaded(const QVariantMap &server);
    void serverDetailError(const QString &message);
    void announcementsLoaded(const QVariantList &announcements);
    void announcementsError(const QString &message);
    void ordersLoaded(const QVariantList &orders);
    void ordersError(const QString &message);
    void systemConfigLoaded(const QVariantMap &config);
    void systemConfigError(const QString &message);
    void trialActivated(const QVariantMap &user);
    void trialActivationError(const QString &message);
    void trialStatusLoaded(const QVariantMap &status);
    void trialStatusError(const QString &message);
    void paymentCreated(const QVariantMap &paymentData);
    void paymentCreationError(const QString &message);
    void paymentStatusLoaded(const QVariantMap &statusData);
    void paymentStatusError(const QString &message);
    void paymentCompleted(const QString &orderNumber);
    void paymentFailed(const QString &orderNumber, const QString &message);
    void plansLoaded(const QVariantList &plans);
    void plansError(const QString &message);
    void heartbeatSent();
    void heartbeatError(const QString &message);
    void heartbeatStatsLoaded(const QVariantMap &stats);
    void heartbeatStatsError(const QString &message);
    void vpnConnected();
    void vpnConnectionFailed(int reasonCode, const QString &message);
    void vpnDisconnected();
    void vpnTrafficUpdate(qlonglong uploadBytes, qlonglong downloadBytes);
    void vpnForceDisconnected(const QString &message);
    void vpnPermissionDenied(int reasonCode, const QString &message);
    void vpnDurationChanged(int seconds);

protected:
    // Each call as "name(arg, arg)", in call order.
    QStringList m_calls;

    bool m_isLoggedIn = false;
    QString m_userEmail;
    QString m_userName;
    bool m_isVip = false;
    QString m_vipExpiresAt;
    int m_vipDays = 0;
    int m_freeMinutes = 120;
    bool m_canConnect = false;

    bool m_connectVpnResult = true;
    int m_permissionCode = 0;
    // Each recorded call also goes to the message channel, in line with the documents' logs.
    bool m_echoCalls = false;
    // A failure that connectVpn reports through vpnConnectionFailed before it returns; 0: none.
    int m_connectFailureCode = 0;
    QString m_connectFailureText;
    QMap<int, QString> m_failureReasonTexts;

private:
    void record(const QString &name, const QVariantList &arguments = {});
};

} // namespace Norvane::Testing
