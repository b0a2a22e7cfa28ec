#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

namespace Norvane::Api::Models {
struct User;
}

namespace Norvane::Api {

// The one object QML reaches the back end through: mirrors the account's standing as
// properties, forwards every account, catalogue, payment and connection request, and turns
// the services' answers into signals carrying QVariantMap / QVariantList projections.
class QmlApiAdapter : public QObject
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
    static constexpr int kDefaultFreeMinutes = 120;
    static constexpr int kForcedLogoutDelayMs = 1000;

    explicit QmlApiAdapter(QObject *parent = nullptr);
    ~QmlApiAdapter() override;

    bool isLoggedIn() const;
    QString userEmail() const { return m_userEmail; }
    QString userName() const { return m_userName; }
    bool isVip() const { return m_isVip; }
    QString vipExpiresAt() const { return m_vipExpiresAt; }
    int vipDays() const { return m_vipDays; }
    int freeMinutes() const { return m_freeMinutes; }
    bool canConnect() const;

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

private:
    // The login and sign-up completions differ only in their log texts.
    struct AccountTexts
    {
        const char *succeeded;
        const char *refreshing;
        const char *failed;
    };

    // Service answers may arrive after the adapter is gone (a test's, or one at exit).
    template<typename Function>
    auto guarded(Function function)
    {
        return [self = QPointer<QmlApiAdapter>(this), function](auto &&...arguments) {
            if (self)
                function(arguments...);
        };
    }

    using ErrorSignal = void (QmlApiAdapter::*)(const QString &message);
    using MapSignal = void (QmlApiAdapter::*)(const QVariantMap &map);
    using ListSignal = void (QmlApiAdapter::*)(const QVariantList &list);

    // A catalogue, trial or payment answer: on failure logs `failed` with the service's message
    // and emits the operation's error signal; otherwise hands the record to `succeeded`.
    template<typename Succeeded>
    auto relay(const char *failed, ErrorSignal error, Succeeded succeeded);
    // The answers whose success only logs `succeeded` and emits the record's map, or the
    // records' maps with their count in the log.
    template<typename Record>
    auto mapAnswer(const char *failed, ErrorSignal error, const char *succeeded, MapSignal loaded,
                   QVariantMap (*project)(const Record &record));
    template<typename Record>
    auto listAnswer(const char *failed, ErrorSignal error, const char *succeeded, ListSignal loaded,
                    QVariantMap (*project)(const Record &record));
    auto trialAnswer(const char *failed, const char *succeeded, QVariantMap (*project)(const Models::User &user));

    void setupConnections();
    void updateUserInfo();
    void clearUserFields();
    void onAccountAnswer(bool success, const QString &message, const QString &email,
                         const AccountTexts &texts);
    void onVpnForceDisconnected(const QString &message);
    QString getCountryFlag(const QString &countryCode) const;

    QString m_userEmail;
    QString m_userName;
    bool m_isVip = false;
    QString m_vipExpiresAt;
    int m_vipDays = 0;
    int m_freeMinutes = kDefaultFreeMinutes;
    bool m_isLoggingOut = false;
};

} // namespace Norvane::Api
