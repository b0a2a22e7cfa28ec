#include "fakes/FakeQmlApiAdapter.h"

#include <QDebug>

namespace Norvane::Testing {

FakeQmlApiAdapter::FakeQmlApiAdapter(QObject *parent)
    : QObject(parent)
{
}

void FakeQmlApiAdapter::record(const QString &name, const QVariantList &arguments)
{
    QStringList texts;
    for (const QVariant &argument : arguments)
        texts << argument.toString();
    m_calls << name + QLatin1Char('(') + texts.join(QLatin1String(", ")) + QLatin1Char(')');
    if (m_echoCalls)
        qDebug().noquote() << "[FakeApi]" << m_calls.last();
}

void FakeQmlApiAdapter::login(const QString &email, const QString &password)
{
    record(QStringLiteral("login"), {email, password});
}

void FakeQmlApiAdapter::registerUser(const QString &email, const QString &password, const QString &name,
                                     const QString &refferCode)
{
    record(QStringLiteral("registerUser"), {email, password, name, refferCode});
}

void FakeQmlApiAdapter::logout()
{
    record(QStringLiteral("logout"));
}

void FakeQmlApiAdapter::refreshUserInfo()
{
    record(QStringLiteral("refreshUserInfo"));
}

void FakeQmlApiAdapter::getServers(const QString &tier)
{
    record(QStringLiteral("getServers"), {tier});
}

void FakeQmlApiAdapter::getServerById(int serverId)
{
    record(QStringLiteral("getServerById"), {serverId});
}

void FakeQmlApiAdapter::getAnnouncements()
{
    record(QStringLiteral("getAnnouncements"));
}

void FakeQmlApiAdapter::getUserOrders()
{
    record(QStringLiteral("getUserOrders"));
}

void FakeQmlApiAdapter::getSystemConfig()
{
    record(QStringLiteral("getSystemConfig"));
}

void FakeQmlApiAdapter::activateFreeTrial()
{
    record(QStringLiteral("activateFreeTrial"));
}

void FakeQmlApiAdapter::activateVipTrial()
{
    record(QStringLiteral("activateVipTrial"));
}

void FakeQmlApiAdapter::getTrialStatus()
{
    record(QStringLiteral("getTrialStatus"));
}

void FakeQmlApiAdapter::createPayment(int planId, const QString &paymentMethod)
{
    record(QStringLiteral("createPayment"), {planId, paymentMethod});
}

void FakeQmlApiAdapter::getPaymentStatus(const QString &orderNumber)
{
    record(QStringLiteral("getPaymentStatus"), {orderNumber});
}

void FakeQmlApiAdapter::startPollingPayment(const QString &orderNumber)
{
    record(QStringLiteral("startPollingPayment"), {orderNumber});
}

void FakeQmlApiAdapter::stopPollingPayment()
{
    record(QStringLiteral("stopPollingPayment"));
}

void FakeQmlApiAdapter::getSubscriptionPlans()
{
    record(QStringLiteral("getSubscriptionPlans"));
}

void FakeQmlApiAdapter::sendHeartbeat(bool isConnected)
{
    record(QStringLiteral("sendHeartbeat"), {isConnected});
}

void FakeQmlApiAdapter::getHeartbeatStats()
{
    record(QStringLiteral("getHeartbeatStats"));
}

void FakeQmlApiAdapter::setRoutingMode(int mode)
{
    record(QStringLiteral("setRoutingMode"), {mode});
}

bool FakeQmlApiAdapter::connectVpn(int serverId, const QString &vmessLink, bool requiresVip)
{
    record(QStringLiteral("connectVpn"), {serverId, vmessLink, requiresVip});
    if (m_connectFailureCode != 0)
        emit vpnConnectionFailed(m_connectFailureCode, m_connectFailureText);
    return m_connectVpnResult;
}

void FakeQmlApiAdapter::disconnectVpn()
{
    record(QStringLiteral("disconnectVpn"));
}

int FakeQmlApiAdapter::checkVpnPermission(int serverId, bool requiresVip)
{
    record(QStringLiteral("checkVpnPermission"), {serverId, requiresVip});
    return m_permissionCode;
}

QString FakeQmlApiAdapter::getVpnFailureReasonText(int reasonCode)
{
    record(QStringLiteral("getVpnFailureReasonText"), {reasonCode});
    return m_failureReasonTexts.value(reasonCode);
}

void FakeQmlApiAdapter::updateVpnTraffic(qlonglong uploadBytes, qlonglong downloadBytes)
{
    record(QStringLiteral("updateVpnTraffic"), {uploadBytes, downloadBytes});
}

void FakeQmlApiAdapter::updateVpnLatency(int latencyMs)
{
    record(QStringLiteral("updateVpnLatency"), {latencyMs});
}

} // namespace Norvane::Testing
